#include "host/ModuleState.h"

JobRecord jobRecord;
int32_t saveStartTime;
int32_t saveStartFrame;
const char* ghostName = "";
int32_t serverPort = 9801;
