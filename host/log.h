// velmond's operator output: one line at a time on standard error, so that
// lines written by different threads never interleave.
//
// Thread-safety: any thread.
#ifndef VELMOND_LOG_H
#define VELMOND_LOG_H

#include <string_view>

namespace velmond {

// Writes "velmond: <text>\n" to standard error.
void Log(std::string_view text);
// Writes the line as it is, with a line break.
void LogRaw(std::string_view line);

}  // namespace velmond

#endif
