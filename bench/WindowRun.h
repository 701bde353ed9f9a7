// The command line and output of qvc_bench_window (WindowRunner.cpp), shared
// with the window cases of qvc_bench (WindowCases.cpp) that start it. It
// prints one "key value" line per figure.
#pragma once

namespace qvc::bench::window {

// Modes and options.
inline constexpr const char* kStartupMode = "startup";
inline constexpr const char* kReadBackMode = "readback";
inline constexpr const char* kTcpOption = "--tcp";
inline constexpr const char* kPtyOption = "--pty";
inline constexpr const char* kReadsOption = "--reads";

// Steady-clock time in nanoseconds at which the parent started the process.
inline constexpr const char* kStartVariable = "QVC_BENCH_START_NS";

// Keys of the output lines.
inline constexpr const char* kShownUs = "shown-us";       // process start to the first show event
inline constexpr const char* kAskedUs = "asked-us";       // process start to the start-up question
inline constexpr const char* kReadBackUs = "readback-us"; // read action to the end of the refresh
inline constexpr const char* kRepaintUs = "repaint-us";   // the pending events after it
inline constexpr const char* kQueries = "queries";        // of one read-back
inline constexpr const char* kQueryBytes = "query-bytes"; // query lines with their CR
inline constexpr const char* kReplyBytes = "reply-bytes"; // replies with their framing
inline constexpr const char* kPayloadBytes = "payload-bytes";
inline constexpr const char* kPeakResidentKb = "vmhwm-kb";            // VmHWM at the end
inline constexpr const char* kError = "error";                        // the run failed: why
inline constexpr const char* kUnexpectedPrompt = "unexpected-prompt"; // its text

} // namespace qvc::bench::window
