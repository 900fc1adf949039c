//===-- tools/arcz_signals.cpp - Signals while arcz writes an archive -----===//
#include "arcz_signals.h"

#include <csignal>

namespace arcz {
namespace {

volatile std::sig_atomic_t g_stop_signal = 0;

extern "C" void NoteStopSignal(int signal_number) {
  if (g_stop_signal != 0) {
    // Asked twice: the user does not want to wait for the clean-up.
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return;
  }
  g_stop_signal = signal_number;
}

}  // namespace

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a question waiting on the terminal returns at once and
  // counts as "stop".
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() { return g_stop_signal; }

void EndByStopSignal() {
  const int signal_number = g_stop_signal;
  if (signal_number == 0) return;
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace arcz
