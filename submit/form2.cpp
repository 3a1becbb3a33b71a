// SPDX-License-Identifier: MIT
#include "submit/form2.h"

#include "app/appinfo.h"
#include "app/controls.h"
#include "app/convert.h"
#include "app/errors.h"
#include "app/fonts.h"
#include "app/guard.h"
#include "app/twips.h"
#include "app/windowset.h"
#include "submit/boardurl.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ponpira {

namespace {

constexpr int clientWidth = 4875;
constexpr int clientHeight = 6120;

// The main window's Label5 is empty until a time, the demo or "リセット" is chosen.
class NoGameLengthError : public Error {
  public:
    NoGameLengthError()
        : Error(QStringLiteral("ゲームの時間がまだ選ばれていないため、結果を送信できません。\n"
                               "メニューの「タイム」から時間を選んでゲームをしてから、"
                               "もう一度「送信」を押してください。")) {}
};

class UrlTooLongError : public Error {
  public:
    UrlTooLongError()
        : Error(QStringLiteral("入力された内容が長すぎるため、結果を送信できません。\n"
                               "コメントなどを短くしてから、もう一度「送信」を押してください。")) {}
};

// Half of a surrogate pair, pasted from a broken source, has no UTF-8 form: the browser would
// send a replacement character or bytes that the board cannot read.
class BrokenTextError : public Error {
  public:
    BrokenTextError()
        : Error(QStringLiteral("入力された内容に送信できない壊れた文字が含まれているため、"
                               "結果を送信できません。\n"
                               "貼り付けた文字などを入力し直してから、"
                               "もう一度「送信」を押してください。")) {}
};

// The board would refuse the value; nothing is opened and the window keeps what was typed.
class FieldTooLongError : public Error {
  public:
    explicit FieldTooLongError(const TooLong& field)
        : Error(QStringLiteral("「%1」が長すぎるため、結果を送信できません。\n"
                               "%2文字以内にしてから、もう一度「送信」を押してください。")
                    .arg(field.label)
                    .arg(field.typedMax)) {}
};

class ControlCharacterError : public Error {
  public:
    ControlCharacterError()
        : Error(QStringLiteral("入力された内容に送信できない制御文字が含まれているため、"
                               "結果を送信できません。\n"
                               "貼り付けた文字などを入力し直してから、"
                               "もう一度「送信」を押してください。")) {}
};

// A board that this machine should run did not come up: the browser would only show that
// the connection was refused.
class NoLocalBoardError : public Error {
  public:
    NoLocalBoardError(LocalBoardState state, const QString& host) : Error(prompt(state, host)) {}

  private:
    static QString prompt(LocalBoardState state, const QString& host) {
        switch (state) {
        case LocalBoardState::NotFound:
            return QStringLiteral("掲示板のプログラム（ponpira-board）が見つからないため、"
                                  "結果を送信できません。\n"
                                  "ポンピラを入れ直してから、もう一度「送信」を押してください。");
        case LocalBoardState::NoFolder:
            return QStringLiteral("掲示板の投稿を保存するフォルダー（ホームフォルダーの "
                                  ".local/share/ponpira）を作れないため、結果を送信できません。\n"
                                  "ホームフォルダーに書き込めるか確かめてください。");
        case LocalBoardState::Stopped:
            return QStringLiteral(
                       "掲示板のプログラム（ponpira-board）が起動してすぐに終了したため、"
                       "結果を送信できません。\n"
                       "投稿を保存するファイル（.local/share/ponpira/board.sqlite3）"
                       "を開けないか、%1 をほかのプログラムが使っています。")
                .arg(host);
        case LocalBoardState::Foreign:
            return QStringLiteral("%1 ではほかのユーザーのプログラムが待ち受けているため、"
                                  "結果を送信できません。\n"
                                  "送信すると、名前やメールアドレス、削除用パスワードが"
                                  "そのプログラムに渡ってしまいます。")
                .arg(host);
        default:
            return QStringLiteral("掲示板が起動しないため、結果を送信できません。\n"
                                  "しばらく待ってから、もう一度「送信」を押してください。");
        }
    }
};

class OpenFailedError : public Error {
  public:
    OpenFailedError()
        : Error(QStringLiteral("ブラウザーで掲示板を開けませんでした。\n"
                               "既定のブラウザーが設定されているか確かめてから、"
                               "もう一度「送信」を押してください。")) {}
};

QFont gothic(qreal points) {
    // The installed face asked for directly: the font system then skips its search for the
    // missing one, each time the window is opened.
    QFont font(installedFace(QStringLiteral("ＭＳ Ｐゴシック")));
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

QLabel* makeFontLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                      qreal points) {
    QLabel* label = makeLabel(parent, name, caption, rect, true);
    label->setFont(gothic(points));
    return label;
}

// A one-pixel rule in the window's text colour.
QWidget* makeLine(QWidget* parent, const QString& name, int x1, int x2, int y) {
    auto* line = new QWidget(parent);
    line->setObjectName(name);
    line->setGeometry(px(x1), px(y), px(x2) - px(x1) + 1, 1);
    line->setBackgroundRole(QPalette::WindowText);
    line->setAutoFillBackground(true);
    line->setFocusPolicy(Qt::NoFocus);
    return line;
}

QPushButton* makeFormButton(QWidget* parent, const QString& name, const QString& caption,
                            QRect rect) {
    QPushButton* button = makeButton(parent, name, caption, rect);
    // Neither button answers Enter or Esc on the window's behalf.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

Form2::Form2(WindowSet& windows, Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), windows_(windows), platform_(platform) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("結果送信"));
    setWindowIcon(appIcon());
    // The proportional face of a Japanese desktop: with the fixed-pitch fallback that a bare
    // system offers, Label11's sentence is too wide for its one-line box and loses its end.
    setFont(gothic(9));
    // The default resizable frame; the controls keep their places when it is resized, and
    // where it opens is the window system's choice.
    resize(px(clientWidth), px(clientHeight));
    buildControls();
}

Form2::~Form2() {
    // The text boxes are destroyed after this class's members, and the focus leaving them on
    // the way must not reach the mode table that is already gone.
    disconnect(imeConnection_);
}

QLineEdit* Form2::makeTextBox(const QString& name, QRect rect, ImeMode mode) {
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    box->setGeometry(rect);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setFrame(true);
    imeModes_.insert(box, mode);
    return box;
}

void Form2::buildControls() {
    Label11 = makeLabel(this, QStringLiteral("Label11"),
                        QStringLiteral("下の内容で結果を送信します。空欄をうめてください。"),
                        twipsRect(240, 120, 4455, 255), true);
    Line1 = makeLine(this, QStringLiteral("Line1"), 120, 4800, 480);
    Label1 = makeFontLabel(this, QStringLiteral("Label1"), QStringLiteral("タイム"),
                           twipsRect(120, 720, 975, 375), 12);
    Label6 = makeFontLabel(this, QStringLiteral("Label6"), {}, twipsRect(1800, 600, 1695, 495), 18);
    Label8 = makeFontLabel(this, QStringLiteral("Label8"), QStringLiteral("秒"),
                           twipsRect(3600, 600, 495, 375), 18);
    Label2 = makeFontLabel(this, QStringLiteral("Label2"), QStringLiteral("結果"),
                           twipsRect(120, 1200, 975, 375), 12);
    Label7 =
        makeFontLabel(this, QStringLiteral("Label7"), {}, twipsRect(1800, 1200, 1695, 495), 20.25);
    Label9 = makeFontLabel(this, QStringLiteral("Label9"), QStringLiteral("回"),
                           twipsRect(3600, 1320, 375, 375), 18);
    Label3 = makeFontLabel(this, QStringLiteral("Label3"), QStringLiteral("お名前"),
                           twipsRect(120, 1920, 975, 375), 12);
    Text1 =
        makeTextBox(QStringLiteral("Text1"), twipsRect(1680, 1800, 2055, 495), ImeMode::Hiragana);
    Text1->setFont(gothic(18));
    Label4 = makeFontLabel(this, QStringLiteral("Label4"), QStringLiteral("E-mail（任意）"),
                           twipsRect(120, 2400, 1455, 495), 12);
    Text2 = makeTextBox(QStringLiteral("Text2"), twipsRect(1680, 2400, 2055, 375), ImeMode::Off);
    Label5 = makeFontLabel(this, QStringLiteral("Label5"), QStringLiteral("URL（任意）"),
                           twipsRect(120, 2880, 1335, 375), 12);
    Text3 = makeTextBox(QStringLiteral("Text3"), twipsRect(1680, 2880, 2055, 375), ImeMode::Off);
    Label10 = makeFontLabel(this, QStringLiteral("Label10"), QStringLiteral("コメント"),
                            twipsRect(120, 3360, 1335, 495), 12);
    // Single-line although it is tall enough for three.
    Text4 =
        makeTextBox(QStringLiteral("Text4"), twipsRect(1680, 3360, 2055, 975), ImeMode::Hiragana);
    Label12 = makeFontLabel(this, QStringLiteral("Label12"), QStringLiteral("削除用パスワード"),
                            twipsRect(120, 4680, 1455, 375), 9.75);
    Text5 =
        makeTextBox(QStringLiteral("Text5"), twipsRect(2640, 4680, 1095, 375), ImeMode::Disabled);
    Command1 = makeFormButton(this, QStringLiteral("Command1"), QStringLiteral("送信"),
                              twipsRect(1200, 5280, 1335, 375));
    Command2 = makeFormButton(this, QStringLiteral("Command2"), QStringLiteral("キャンセル"),
                              twipsRect(2760, 5280, 1215, 375));
    // Carries the demo flag; it lies beyond the right edge and is never shown, even when the
    // player widens the window.
    Label13 = makeLabel(this, QStringLiteral("Label13"), {}, twipsRect(4920, 6000, 255, 135));
    Label13->setVisible(false);

    // A screen reader names each box after the caption beside it, and says what the two
    // numbers, read out as they are, count.
    Text1->setAccessibleName(Label3->text());
    Text2->setAccessibleName(Label4->text());
    Text3->setAccessibleName(Label5->text());
    Text4->setAccessibleName(Label10->text());
    Text5->setAccessibleName(Label12->text());
    Label6->setAccessibleDescription(QStringLiteral("経過秒数"));
    Label7->setAccessibleDescription(QStringLiteral("クリック回数"));

    // The e-mail address and the home page are Latin text; the player may still switch the
    // input method on.
    Text2->setInputMethodHints(Qt::ImhPreferLatin);
    Text3->setInputMethodHints(Qt::ImhPreferLatin);
    // Password echo hides the text from input methods, predictions and screen readers. The
    // mask is "*" on every style, shown at once rather than after a delay.
    Text5->setEchoMode(QLineEdit::Password);
    Text5->setStyleSheet(QStringLiteral(
        "QLineEdit { lineedit-password-character: 42; lineedit-password-mask-delay: 0; }"));
    // No input method at all: composition would show the password in clear text.
    Text5->setAttribute(Qt::WA_InputMethodEnabled, false);

    // The password box comes after "送信".
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Command1);
    setTabOrder(Command1, Text5);
    setTabOrder(Text5, Command2);
    Text1->setFocus(Qt::OtherFocusReason);

    // A box asks for its input-method mode once Qt's own input context has taken the focus
    // change, so that the mode is not undone by Qt re-enabling the input method after a
    // password box.
    imeConnection_ =
        connect(qApp, &QGuiApplication::focusObjectChanged, this, [this](QObject* object) {
            const auto mode = imeModes_.constFind(object);
            if (mode != imeModes_.constEnd())
                platform_.applyImeMode(static_cast<QWidget*>(object), *mode);
        });

    connectHandler(platform_, Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connectHandler(platform_, Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
}

void Form2::Command1_Click() {
    try {
        limitSeconds = toInt16(windows_.form1Label5Caption());
    } catch (const ConversionError&) {
        throw NoGameLengthError();
    }

    PostCase postCase = PostCase::Normal;
    if (toDouble(Label13->text()) == 1) {
        postCase = PostCase::Demo;
    } else {
        const double clicks = toDouble(Label7->text());
        // The chosen length, not the seconds shown: a result taken mid-game is measured
        // against the whole game.
        const Int16 threshold = limitSeconds * 20;
        if (clicks > threshold.value())
            postCase = PostCase::Trick;
    }

    BoardPost post;
    post.postCase = postCase;
    post.name = Text1->text();
    post.email = Text2->text();
    post.seconds = Label6->text();
    post.clicks = Label7->text();
    post.comment = Text4->text();
    post.homePage = Text3->text();
    post.password = Text5->text();
    // Everything below leaves the window open with what was typed, so the player can mend
    // the entry or try again.
    for (const QString* text :
         {&post.name, &post.email, &post.comment, &post.homePage, &post.password}) {
        if (!text->isValidUtf16())
            throw BrokenTextError();
        if (hasUnsendableCharacter(*text))
            throw ControlCharacterError();
    }
    if (const std::optional<TooLong> field = tooLongField(post))
        throw FieldTooLongError(*field);

    const BoardHostChoice board = chooseBoardHost();
    if (!board.rejected.isEmpty())
        platform_.messageBox(this,
                             QStringLiteral("%1 の掲示板の指定「%2」は正しくないため、"
                                            "既定の掲示板（%3）に送信します。")
                                 .arg(board.source, board.rejected, board.host),
                             AppInfo::Title());
    const QString url = boardUrl(board.host, post);
    if (encodedUrlBytes(url) > maxUrlBytes)
        throw UrlTooLongError();
    if (const std::optional<LocalBoard> local = localBoard(board.host)) {
        const LocalBoardState state = platform_.ensureLocalBoard(local->address, local->port);
        if (state != LocalBoardState::Answering)
            throw NoLocalBoardError(state, board.host);
    }
    if (!platform_.openUrl(this, url, AppInfo::Path()))
        throw OpenFailedError();

    hide();
}

void Form2::Command2_Click() {
    hide();
}

} // namespace ponpira
