// The program's entry point: the framework starts CRecorderApp.
#include "app/RecorderApp.h"

wxIMPLEMENT_APP(CRecorderApp);
