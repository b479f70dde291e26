// The default error handling: the one boundary where an error raised inside the engine or
// the platform becomes a report. An error that leaves an event handler or the start-up
// handler is reported once (a message box where someone can answer it, and the same line
// on standard error) and the program ends with a non-zero status. No exception ever
// crosses the toolkit's event loop.
#pragma once

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

namespace platform {

// What happens after a report; by default: end the program with status 1. Tests and
// tools install their own (they must not return into the failed handler's caller
// expecting it to have succeeded; returning is fine, the handler has already ended).
using FatalAction = std::function<void(const std::string& report)>;
void SetFatalAction(FatalAction action);

// Reports `error` and performs the fatal action.
void ReportFatal(const std::exception& error);

// Reports `error` as ReportFatal does (the same box, the same line on standard error),
// for a failure the program recovers from: it goes on afterwards.
void Report(const std::exception& error);

// A note the user should read after something went through, but not wholly as asked
// (metadata left out of a saved file): the same line on standard error, prefixed
// "warning:", and an information box where someone can answer it.
void ReportWarning(const std::string& text);

// Runs `handler`, turning any error it raises into the report.
template <typename F>
void RunHandler(F&& handler) noexcept {
  try {
    handler();
  } catch (const std::exception& e) {
    ReportFatal(e);
  } catch (...) {
    ReportFatal(std::runtime_error("unknown error"));
  }
}

}  // namespace platform
