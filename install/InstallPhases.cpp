#include "install/InstallPhases.h"

const char* InstallPhaseName(InstallPhase phase) {
  static const char* const kNames[kInstallPhaseCount] = {
      "manifest", "recovery", "files in use", "walk and checks", "clear old patch",
      "journal",  "copies",   "backups",      "commit",          "roll-back"};
  return phase >= 0 && phase < kInstallPhaseCount ? kNames[phase] : "";
}

PhaseTimer::~PhaseTimer() {
  if (times_ == nullptr) return;
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  times_->seconds[phase_] += double(now.QuadPart - start_.QuadPart) / double(frequency.QuadPart);
}
