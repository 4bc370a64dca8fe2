#pragma once
// The library's log (Xerr) as the command-line program shows it: warnings and errors on
// standard error as "warning: ..." and "error: ...", the other levels only when verbose. What
// scripts print (Xout) goes to standard output.

namespace QuorlixTool {

void RouteLibraryLog(bool verbose);
/// Puts the log back on the null pipe; before the program's statics go.
void UnrouteLibraryLog();

} // namespace QuorlixTool
