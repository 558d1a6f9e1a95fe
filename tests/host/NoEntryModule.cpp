// A screen module that forgot IniProc: the host must refuse it with a reason.

extern "C" {
void Initialize() {}
void Finalize() {}
}
