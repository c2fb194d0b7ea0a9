// Finding the input files by mask, on the command line or in a dialog, and
// naming the outputs after the order file. "/" is the path delimiter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

// "*" matches any run of characters, "?" one character; letters match
// regardless of case.
bool MaskMatches(std::string_view mask, std::string_view name);

// Names of the entries of a directory (folders included) that match the
// mask, in case-insensitive name order.
std::vector<std::string> MatchingEntries(const std::string& directory, std::string_view mask);

// The directory part of the mask followed by the first matching entry. When
// none matches, or exactlyOne is set and more than one does, ends the run
// through FinishRun and returns an empty name.
std::string FindInputFile(RunState& run, Toolkit& toolkit, std::string_view mask,
                          std::string_view label, bool exactlyOne, bool closeOutputs);

// The mask stem + extension, or stem + ".csv" when nothing in the current
// directory matches the first and something matches the second: a
// spreadsheet export is found when there is no text file.
std::string InputMask(std::string_view stem, std::string_view extension);

// Lets the operator pick a file; ends the run and returns an empty name on
// cancel.
std::string AskInputFile(RunState& run, Toolkit& toolkit, std::string_view titleWord,
                         std::string_view filter);

// Either name loses its directory part when that is the current directory.
void ShortenToCurrentDirectory(std::string& orderName, std::string& stockName,
                               std::string_view currentDirectory);
void ShortenToCurrentDirectory(std::string& orderName, std::string& stockName);

// Output name after the order name: the first "Orders" of the bare name
// (any case) becomes `word`; without it the name minus its extension gets
// `suffix`. Then the extension is set.
std::string DeriveOutputName(std::string_view orderName, std::string_view word,
                             std::string_view suffix, std::string_view extension);

// Sets run.reportFile and run.labelsFile (empty when LabelsFile is off),
// and run.layoutsFile (.pdf) and run.planFile (.json), each empty when off.
void DeriveOutputNames(RunState& run);

// True, after ending the run with a logged error, when an output's name
// (report, labels, layouts, plan) is the same file as an input, the
// settings, a log or another output of the run.
bool OutputsCollideWithInputs(RunState& run, Toolkit& toolkit);

}  // namespace tarvolin
