// Makes one fault and checks that the program's own exception handler sees
// it as the exception Windows raises for it:
//   ormidal_fault_code access|divide
// Exits 0 when it does, 1 when the handler saw another exception, 2 when no
// handler ran. Under Wine a fault reaches the program through a Linux
// signal, and Wine tells the faults apart by the trap number in the signal
// frame; where 32-bit Wine runs under qemu, scripts/wine-run has to put that
// number in, or every fault would arrive as an illegal instruction.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

struct Fault {
  const char* name;
  DWORD expected;
  void (*make)();
};

// Volatile, so that the compiler knows neither value and emits the plain
// instruction that faults.
int* volatile nowhere = nullptr;
volatile int one = 1;
volatile int zero = 0;
volatile int result = 0;

void WriteToNull() { *nowhere = 1; }
void DivideByZero() { result = one / zero; }

const Fault kFaults[] = {
    {"access", EXCEPTION_ACCESS_VIOLATION, WriteToNull},
    {"divide", EXCEPTION_INT_DIVIDE_BY_ZERO, DivideByZero},
};

DWORD expected = 0;

LONG CALLBACK Handler(EXCEPTION_POINTERS* info) {
  DWORD code = info->ExceptionRecord->ExceptionCode;
  std::printf("exception %08lx, expected %08lx\n", static_cast<unsigned long>(code),
              static_cast<unsigned long>(expected));
  std::fflush(stdout);
  ExitProcess(code == expected ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
  for (const Fault& fault : kFaults) {
    if (argc == 2 && std::strcmp(argv[1], fault.name) == 0) {
      expected = fault.expected;
      AddVectoredExceptionHandler(1, Handler);
      fault.make();
      std::printf("no exception\n");
      return 2;
    }
  }
  std::fprintf(stderr, "usage: %s access|divide\n", argv[0]);
  return 2;
}
