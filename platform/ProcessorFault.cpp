#include "platform/ProcessorFault.h"

#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <ucontext.h>
#include <unistd.h>

namespace vx {

namespace {

struct Fault {
  int signal = 0;
  int code = 0;
  std::uintptr_t data = 0;         // the address accessed (SIGSEGV, SIGBUS)
  std::uintptr_t instruction = 0;  // where the processor was
};

thread_local sigjmp_buf* innermostGuard = nullptr;
thread_local Fault lastFault;

std::function<void(const ProcessorFault&)>& fatalHandler() {
  static std::function<void(const ProcessorFault&)> handler;
  return handler;
}

std::string hex(std::uintptr_t value) {
  char text[2 + 2 * sizeof value + 1];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(value));
  return text;
}

std::string describe(const Fault& f) {
  switch (f.signal) {
    case SIGFPE:
      if (f.code == FPE_INTDIV) return "Division by zero";
      if (f.code == FPE_INTOVF) return "Integer overflow";
      return "Floating point error";
    case SIGBUS:
      return "Bus error at address " + hex(f.data);
    default:
      return "Access violation at address " + hex(f.data);
  }
}

void onFault(int signal, siginfo_t* info, void* context) {
  Fault f;
  f.signal = signal;
  f.code = info->si_code;
  f.data = reinterpret_cast<std::uintptr_t>(info->si_addr);
#if defined(__x86_64__)
  f.instruction = static_cast<std::uintptr_t>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
  f.instruction = static_cast<std::uintptr_t>(static_cast<ucontext_t*>(context)->uc_mcontext.pc);
#else
  (void)context;
#endif
  if (innermostGuard) {
    lastFault = f;
    siglongjmp(*innermostGuard, 1);
  }
  // Outside every guard: tell what can still be told, then end as the signal would have.
  static volatile sig_atomic_t ending = 0;
  if (!ending) {
    ending = 1;
    if (fatalHandler()) {
      try {
        fatalHandler()(ProcessorFault(describe(f), f.instruction));
      } catch (...) {
      }
    }
  }
  std::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

void installFaultHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  // A stack overflow faults with no stack left to handle it on: the handler gets its own.
  // Large enough for showing and recording a fatal fault from the handler.
  static char alternateStack[1024 * 1024];
  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = onFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE}) ::sigaction(s, &action, nullptr);
}

void runGuarded(const std::function<void()>& work) {
  sigjmp_buf guard;
  sigjmp_buf* const outer = innermostGuard;
  // The signal mask is not saved with the jump point (that would be a system call for every
  // event); after a fault the handler's blocking of the fault signals is undone here instead.
  if (sigsetjmp(guard, 0) != 0) {
    innermostGuard = outer;
    sigset_t faults;
    sigemptyset(&faults);
    for (int s : {SIGSEGV, SIGBUS, SIGFPE}) sigaddset(&faults, s);
    ::pthread_sigmask(SIG_UNBLOCK, &faults, nullptr);
    throw ProcessorFault(describe(lastFault), lastFault.instruction);
  }
  // No object with a destructor lives in this frame: the jump back to it would skip it.
  innermostGuard = &guard;
  try {
    work();
  } catch (...) {
    innermostGuard = outer;
    throw;
  }
  innermostGuard = outer;
}

void setFatalFaultHandler(std::function<void(const ProcessorFault&)> handler) {
  fatalHandler() = std::move(handler);
}

}  // namespace vx
