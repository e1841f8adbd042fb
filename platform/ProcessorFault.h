#pragma once
// Processor faults (a memory access the program may not make, an integer division by zero, a
// bus error) raised while an event is handled become exceptions like any other error of that
// handler: the user sees the error box and the program goes on.
//
// runGuarded() runs a piece of work; a SIGSEGV, SIGBUS or SIGFPE raised on the same thread
// while it runs ends the work at once and comes back as a ProcessorFault thrown from
// runGuarded(). What the interrupted work had not finished stays unfinished (its destructors do
// not run): the price of going on after such a fault rather than ending the program. Guards
// nest; a fault goes to the innermost.
//
// A fault outside every guard cannot be survived: the fatal handler (if one is set) is called
// from the signal handler to show and record it as well as it still can, and the program then
// ends with the signal's default action.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace vx {

class ProcessorFault : public std::runtime_error {
 public:
  ProcessorFault(const std::string& message, std::uintptr_t instruction)
      : std::runtime_error(message), instruction_(instruction) {}
  // The address of the faulting instruction: where in the sources the fault happened.
  std::uintptr_t instruction() const { return instruction_; }

 private:
  std::uintptr_t instruction_;
};

// Installs the signal handlers (once; later calls do nothing).
void installFaultHandlers();

// Runs `work`; throws ProcessorFault when a fault ends it. Other exceptions pass unchanged.
void runGuarded(const std::function<void()>& work);

// Called for a fault outside every guard, just before the program ends.
void setFatalFaultHandler(std::function<void(const ProcessorFault&)> handler);

}  // namespace vx
