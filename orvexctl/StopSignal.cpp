#include "StopSignal.h"

#include <csignal>

namespace orvexctl {
namespace {

volatile std::sig_atomic_t g_stop = 0;
struct sigaction g_previousInt, g_previousTerm;

void OnStopSignal(int) { g_stop = 1; }

}  // namespace

StopSignal::StopSignal() {
  g_stop = 0;
  struct sigaction action {};
  action.sa_handler = &OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &g_previousInt);
  ::sigaction(SIGTERM, &action, &g_previousTerm);
}

StopSignal::~StopSignal() {
  ::sigaction(SIGINT, &g_previousInt, nullptr);
  ::sigaction(SIGTERM, &g_previousTerm, nullptr);
}

bool StopSignal::Requested() { return g_stop != 0; }

}  // namespace orvexctl
