#pragma once

#include <QString>

class QWidget;

// What an unattended close (SIGTERM, SIGINT, nobody to ask) could not do quietly, kept for the
// surveyor: the rescue's sentence (the survey could not be closed, and where its sound copy went
// or that none could be made) goes to standard error at once, which nobody may read, and is also
// kept in the program's settings; the window shows it once when it next starts.

// The text shown at the next start, with the kept sentences as %1.
constexpr const char *RESCUE_TEXT_LAST_RUN =
    "When the collector last ran, it was ended from outside (SIGTERM or SIGINT) and could not save the survey "
    "completely:\n\n%1\n\nOpen the copy named here to go on with the survey.";

// Keeps strSentence for the next start, after any kept before and not yet shown.
void KeepRescueNote(const QString &strSentence);
// Shows the kept sentences once over pParent through the prompt seam and forgets them; does
// nothing when none are kept.
void ShowRescueNote(QWidget *pParent);
