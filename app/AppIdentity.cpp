#include "app/AppIdentity.h"

#include <QCoreApplication>
#include <QGuiApplication>

const char *AppVersion() { return TARVEX_VERSION; }

void SetApplicationIdentity() {
  QCoreApplication::setApplicationName(QString::fromUtf8(APP_NAME));
  QCoreApplication::setApplicationVersion(QString::fromUtf8(AppVersion()));
  QCoreApplication::setOrganizationName(QString::fromUtf8(APP_PROFILE_KEY));
  QGuiApplication::setApplicationDisplayName(QString::fromUtf8(APP_TITLE));
}
