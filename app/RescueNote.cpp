#include "app/RescueNote.h"

#include "app/AppIdentity.h"
#include "dialogs/Prompts.h"

#include <QSettings>

#include <memory>

namespace {

const char *const SETTINGS_KEY = "Rescue/Last Run";

// The program's settings, where the recent files are kept too.
std::unique_ptr<QSettings> Settings() {
  return std::make_unique<QSettings>(QString::fromUtf8(APP_PROFILE_KEY), QString::fromUtf8(APP_NAME));
}

} // namespace

void KeepRescueNote(const QString &strSentence) {
  const std::unique_ptr<QSettings> pSettings = Settings();
  QSettings &settings = *pSettings;
  const QString strKept = settings.value(QLatin1String(SETTINGS_KEY)).toString();
  settings.setValue(QLatin1String(SETTINGS_KEY), strKept.isEmpty() ? strSentence : strKept + "\n\n" + strSentence);
  settings.sync(); // the program is about to end
}

void ShowRescueNote(QWidget *pParent) {
  const std::unique_ptr<QSettings> pSettings = Settings();
  QSettings &settings = *pSettings;
  const QString strKept = settings.value(QLatin1String(SETTINGS_KEY)).toString();
  if (strKept.isEmpty()) {
    return;
  }
  // Forgotten before it is shown: a second window, or a crash while it is up, does not show it again.
  settings.remove(QLatin1String(SETTINGS_KEY));
  settings.sync();
  PromptMessage(pParent, QString::fromUtf8(RESCUE_TEXT_LAST_RUN).arg(strKept), QString::fromUtf8(APP_TITLE), PROMPT_OK,
                PROMPT_ICON_WARNING);
}
