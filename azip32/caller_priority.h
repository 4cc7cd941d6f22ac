#pragma once
// The library's helper threads run at the priority of the thread that called it. Windows
// starts every new thread at normal priority: a caller that lowered its own so that its
// window keeps answering would otherwise get packing threads that compete with that window.

namespace ch::azip {

class CallerPriority {
  public:
    CallerPriority(); // taken from the calling thread
    void applyToThisThread() const;

  private:
    [[maybe_unused]] int priority_ = 0; // read on Windows only
};

} // namespace ch::azip
