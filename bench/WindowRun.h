// The command line and output of qvc_bench_window (WindowRunner.cpp), shared
// with the window cases of qvc_bench (WindowCases.cpp) that start it. It
// prints one "key value" line per figure.
#pragma once

namespace qvc::bench::window {

// Modes and options.
inline constexpr const char* kStartupMode = "startup";
inline constexpr const char* kReadBackMode = "readback";
inline constexpr const char* kAudioMode = "audio";       // a level slider dragged by keyboard
inline constexpr const char* kConfigMode = "config";     // configuration file load and save
inline constexpr const char* kSequenceMode = "sequence"; // the preset sequencer running
inline constexpr const char* kPreviewMode = "preview";   // preset buttons while recalling
inline constexpr const char* kTcpOption = "--tcp";
inline constexpr const char* kPtyOption = "--pty";
inline constexpr const char* kReadsOption = "--reads";
inline constexpr const char* kWireLogOption = "--wire-log"; // 1: the wire log open while reading
inline constexpr const char* kRunsOption = "--runs";      // drags, loads and saves, clicks
inline constexpr const char* kKeyMsOption = "--key-ms";   // between two keys; 0: all at once
inline constexpr const char* kKeysToOption = "--keys-to"; // kToFocus (default) or kToSlider
inline constexpr const char* kToFocus = "focus";       // the widget with the focus, as a keyboard's
inline constexpr const char* kToSlider = "slider";     // the slider, wherever the focus went
inline constexpr const char* kDirOption = "--dir";     // for the configuration files
inline constexpr const char* kStepsOption = "--steps"; // sequencer steps
inline constexpr const char* kSecondMsOption = "--second-ms"; // the sequencer's second

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
inline constexpr const char* kWireLogRows = "wire-log-rows"; // rows of the open wire log at the end
inline constexpr const char* kError = "error";                        // the run failed: why
inline constexpr const char* kUnexpectedPrompt = "unexpected-prompt"; // its text

// Audio: one set per drag.
inline constexpr const char* kDragStartMs = "drag-start-ms";    // wall clock (ms since the epoch)
inline constexpr const char* kDragEndMs = "drag-end-ms";        // likewise, after the last answer
inline constexpr const char* kKeys = "keys";                    // Right-arrow presses delivered
inline constexpr const char* kSliderEnd = "slider-end";         // the slider's value after them
inline constexpr const char* kSliderChanges = "slider-changes"; // changes the page handled
inline constexpr const char* kFocusKept = "focus-kept";     // 1 when the slider still had the focus
inline constexpr const char* kKeyToAckUs = "key-to-ack-us"; // last key to the last change handled
inline constexpr const char* kDragUs = "drag-us";           // first key to the last change handled
inline constexpr const char* kCpuSpanUs = "cpu-span-us";    // first key to the later of the last
                                                            // key and the last change handled
inline constexpr const char* kCpuUs = "cpu-us";             // of this process over that span

// Configuration file: one line per run.
inline constexpr const char* kSaveUs = "save-us";   // file name given to the item's return
inline constexpr const char* kLoadUs = "load-us";   // file name given to the "loaded" message
inline constexpr const char* kReadUs = "read-us";   // the file read alone
inline constexpr const char* kApplyUs = "apply-us"; // the load without the file read

// Sequencer: one line per step, then the totals.
inline constexpr const char* kLatenessUs = "lateness-us"; // timer event after the step's due time
inline constexpr const char* kRecallUs = "recall-us";     // the step's handler, recall included
inline constexpr const char* kDriftUs = "drift-us";     // last step after start + steps x interval
inline constexpr const char* kWaitTicks = "wait-ticks"; // steps put off for a busy link
inline constexpr const char* kRunUs = "run-us";         // Start to the last step

// Preset preview: one line per click.
inline constexpr const char* kPreviewUs = "preview-us";       // click to the pages refreshed
inline constexpr const char* kShownChanges = "shown-changes"; // switching page texts it changed

} // namespace qvc::bench::window
