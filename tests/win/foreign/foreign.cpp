// A module that is not the test program's: its floating-point faults are someone else's, as an input
// method's or a shell hook's are to the program; and planted beside a program it is the library the
// loader must not find there.
extern "C" __declspec(dllexport) double ForeignDivide(double a, double b) {
    volatile double q = a / b;
    return q;
}
