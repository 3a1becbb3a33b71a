#include "submit/form2.h"

#include "app/appinfo.h"
#include "app/fonts.h"

#include <QLabel>

namespace ponpira {

Form2::Form2(WindowSet& windows, Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), windows_(windows), platform_(platform) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("結果送信"));
    setWindowIcon(appIcon());
    Label6 = new QLabel(this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label7 = new QLabel(this);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label13 = new QLabel(this);
    Label13->setObjectName(QStringLiteral("Label13"));
    (void)windows_;
    (void)platform_;
}

} // namespace ponpira
