// The input names of a run: from the command line, or from the Open dialog when the command line
// does not name what the run needs.
#pragma once

#include <string>
#include <vector>

#include "app/option_parser.h"

namespace quorvel {

// many: every name given is an input, the dialog opens only when none is. Otherwise exactly one
// name is needed, and with 0 or 2 and more the dialog opens and the names are ignored. False when
// the dialog was cancelled (or cannot be shown).
bool chooseInputs(const OptionParser& parser, bool many, std::vector<std::string>& names);

// Said on standard error when a run that takes one file was given several: it asks for one instead.
// Since a switch of the other platform's style is a file name here, the names are shown.
void warnAboutSeveralNames(const OptionParser& parser);

// Said on standard error when a run that takes one file was given a folder: its status line
// ("unknown format!") does not tell a newcomer what to do instead.
void adviseWhenFolder(const std::string& name);

}  // namespace quorvel
