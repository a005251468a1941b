#pragma once

#include "dialogs/Prompts.h"

class CSurveySession;
class QWidget;

// The survey files' prompts, once for the whole window: the file dialogs of Open Collection and
// the copy of the whole survey that the segment dialog, leaving the program and replacing the
// survey offer.
constexpr const char *SURVEY_FILTER = "Tarvex Survey Data Files (*.tvd)";
constexpr const char *SURVEY_FILTER_ALL = "All Files (*.*)";
constexpr const char *SURVEY_SUFFIX = "tvd";
constexpr const char *SURVEY_NAME = "Data"; // the name a new or opened survey's dialog offers
// The platform's own captions of the file dialogs for opening and for saving.
constexpr const char *SURVEY_CAPTION_OPEN = "Open";
constexpr const char *SURVEY_CAPTION_SAVE = "Save As";
// The copy: its file dialog's caption, and the name offered beside the survey.
constexpr const char *SURVEY_CAPTION_COPY = "Save a Copy of the Survey As";
constexpr const char *SURVEY_COPY_NAME = "%1 copy.tvd";

// A file dialog for a survey, opening or saving: "Data" offered, with the suffix and the filters.
_fileprompt SurveyFilePrompt(_fileprompt::Kind nKind);

// "Save a Copy As…": asks where (beside the survey, "NAME copy.tvd", asking before it replaces a
// file), has the session write a sound copy of the whole survey there, with every level still
// waiting in memory, and tells the operator what became of it, followed by strAfter (what is
// still to be done) once it is saved. True once the copy is saved; false when the operator
// cancelled or it could not be written.
bool SaveSurveyCopy(QWidget *pParent, const CSurveySession &session, const QString &strAfter = {});
