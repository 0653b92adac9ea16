#pragma once
// The update offers as the user meets them: a Yes/No question in UTF-8 (its
// version line carries an arrow that the ANSI code page lacks), owned by the
// page; with canSkip a third button, "Skip this version".
// offer_box_win32.cpp (a message box, or dialog IDD_OFFER for the third
// button); offer_box_posix.cpp (no windows: every offer is declined).
#include "update/update_view.h"

OfferAnswer ShowOfferBox(void* owner, const char* utf8Text, bool canSkip);
