// SPDX-License-Identifier: MIT
#include "about/frmabout.h"

#include "app/appinfo.h"
#include "app/controls.h"
#include "app/fonts.h"
#include "app/guard.h"
#include "app/twips.h"
#include "app/windowset.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace ponpira {

namespace {

// The client area: 5730 x 2415 twips, its top-left corner at (2340, 1935) on the screen.
constexpr int clientLeft = 2340;
constexpr int clientTop = 1935;
constexpr int clientWidth = 5730;
constexpr int clientHeight = 2415;

// A horizontal line control: a strip of colour as thick as its border width. Clicks go
// through to whatever lies below, as they would on a drawn line.
class HorizontalLine : public QWidget {
  public:
    HorizontalLine(QWidget* parent, const QString& name, int x1Twips, int x2Twips, int yTwips,
                   int thickness, QColor color)
        : QWidget(parent), color_(color) {
        setObjectName(name);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(px(x1Twips), px(yTwips), px(x2Twips) - px(x1Twips), thickness);
    }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), color_); }

  private:
    QColor color_;
};

// Labels wrap at their width; some are drawn in black rather than the theme's text colour.
QLabel* makeAboutLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                       bool black) {
    QLabel* label = makeLabel(parent, name, caption, rect, true);
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

} // namespace

// The window and the captions that the rules fill in, as the rules see them.
struct frmAbout::Bindings {
    BoundWindow window;
    BoundControl<QLabel> lblVersion;
    BoundControl<QLabel> lblTitle;
};

frmAbout::~frmAbout() = default;

frmAbout::frmAbout(WindowSet& windows, Platform& platform, QWidget* parent)
    : QDialog(parent), windows_(windows), platform_(platform) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowIcon(appIcon());
    // The proportional face of a Japanese desktop: the fixed-pitch fallback that a bare
    // system offers is too wide, and the first sentence's end would wrap under the second.
    QFont font(installedFace(QStringLiteral("ＭＳ Ｐゴシック")));
    font.setPointSize(9);
    setFont(font);
    // A fixed dialog frame whose title bar carries only the close box.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setSizeGripEnabled(false);
    setFixedSize(px(clientWidth), px(clientHeight));
    // The client area's corner, not the frame's, goes to the given place.
    setGeometry(px(clientLeft), px(clientTop), px(clientWidth), px(clientHeight));

    buildControls();
    rules_->Form_Load();
}

void frmAbout::buildControls() {
    // Created bottom-most first: a later sibling is drawn over an earlier one, and the
    // overlapping boxes are part of the look (the version line sits over the title's second
    // line, the warning over the second sentence, OK over its corner).
    lblDescription =
        makeAboutLabel(this, QStringLiteral("lblDescription"),
                       QStringLiteral("指定時間内に何回クリックできるかという単純なゲームです。"),
                       twipsRect(720, 720, 4725, 450), true);
    lblDescription2 =
        makeAboutLabel(this, QStringLiteral("lblDescription2"),
                       QStringLiteral("結果送信で、掲示板に結果を書き込むことができます。"),
                       twipsRect(720, 960, 4575, 735), false);
    lblTitle = makeAboutLabel(this, QStringLiteral("lblTitle"), QStringLiteral("ポンピラ"),
                              twipsRect(720, 240, 3885, 480), true);
    lblDisclaimer =
        makeAboutLabel(this, QStringLiteral("lblDisclaimer"),
                       QStringLiteral("警告: ..マウスを壊さないように注意してください。"),
                       twipsRect(120, 1440, 3870, 825), true);
    lblVersion = makeAboutLabel(this, QStringLiteral("lblVersion"), QStringLiteral("Ver 1.1"),
                                twipsRect(720, 480, 3885, 225), false);

    // Etched separator: a grey line over a white one twice as thick that starts further left,
    // so white shows just below the grey.
    Line1[0] = new HorizontalLine(this, QStringLiteral("Line1(0)"), 0, 5549, 1320, 2,
                                  QColor(0xFF, 0xFF, 0xFF));
    Line1[1] = new HorizontalLine(this, QStringLiteral("Line1(1)"), 90, 5654, 1320, 1,
                                  QColor(0x80, 0x80, 0x80));

    cmdSysInfo = makeButton(this, QStringLiteral("cmdSysInfo"), QStringLiteral("ｼｽﾃﾑ情報(&S)..."),
                            twipsRect(4200, 1920, 1380, 345));
    cmdOK = makeButton(this, QStringLiteral("cmdOK"), QStringLiteral("OK"),
                       twipsRect(4200, 1440, 1380, 345));
    // OK is both the default and the cancel button: Enter presses it unless the focus is on
    // the other button, Esc presses it always (see reject()).
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdSysInfo->setAutoDefault(true);

    // The picture box keeps its 300 x 300 twips, which its sunken border and the 16 x 16
    // image fill exactly; the 32 x 32 image would grow it over the title's first letter. On a
    // high-density screen the pixmap is taken at the screen's ratio, so the larger images
    // keep it sharp.
    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picIcon->setLineWidth(2);
    picIcon->setGeometry(twipsRect(240, 240, 300, 300));
    const int side = picIcon->contentsRect().width();
    picIcon->setPixmap(appIcon().pixmap(QSize(side, side), devicePixelRatioF()));
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setAutoFillBackground(true);
    picIcon->setFocusPolicy(Qt::StrongFocus);
    picIcon->setAccessibleName(QStringLiteral("ポンピラのアイコン"));

    setTabOrder(cmdOK, picIcon);
    setTabOrder(picIcon, cmdSysInfo);
    cmdOK->setFocus();

    bindings_.reset(
        new Bindings{BoundWindow(this), BoundControl(lblVersion), BoundControl(lblTitle)});
    rules_ = std::make_unique<core::frmAbout>(
        windows_.rules(), platform_,
        core::frmAboutControls{bindings_->window, bindings_->lblVersion, bindings_->lblTitle});
    connectHandler(platform_, cmdOK, &QPushButton::clicked, this, rules_.get(),
                   &core::frmAbout::cmdOK_Click);
    connectHandler(platform_, cmdSysInfo, &QPushButton::clicked, this, rules_.get(),
                   &core::frmAbout::cmdSysInfo_Click);
}

void frmAbout::reject() {
    cmdOK->click();
}

} // namespace ponpira
