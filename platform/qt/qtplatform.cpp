#include "platform/qt/qtplatform.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

namespace ponpira {

void QtPlatform::messageBox(QWidget* parent, const QString& prompt, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    // A plain OK, as the box asks for no icon; some desktop themes decorate dialog buttons.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

bool QtPlatform::openUrl(QWidget*, const QString& url, const QString&) {
    // TolerantMode keeps characters the URL carries raw (Japanese text) and encodes them as
    // UTF-8 on the way out, as a browser given the same text would.
    return QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}

bool QtPlatform::startProgram(const QString& path) {
    // The path is the program itself, never a command line to be split at spaces.
    return !path.isEmpty() && QProcess::startDetached(path, {});
}

bool QtPlatform::fileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

std::int32_t QtPlatform::regOpenKey(RegKey, const QString&, std::uint32_t, RegKey& key) {
    key = 0;
    return errorFileNotFound;
}

std::int32_t QtPlatform::regQueryValue(RegKey, const QString&, std::uint32_t&, QByteArray&,
                                       std::uint32_t&) {
    return errorFileNotFound;
}

void QtPlatform::regCloseKey(RegKey) {}

QString QtPlatform::fromAnsi(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes);
}

void QtPlatform::applyImeMode(QWidget*, ImeMode) {}

#ifndef Q_OS_WIN
std::unique_ptr<Platform> makeSystemPlatform() {
    return std::make_unique<QtPlatform>();
}
#endif

} // namespace ponpira
