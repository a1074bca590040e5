// Storage for the application's process-global state (see state.h).
#include "app/state.h"

char16_t* TaskText = nullptr;
char16_t* AddKey = nullptr;
char16_t* ClrKey = nullptr;
int64_t NagType = 0;
int64_t Refresh = 0;
int8_t Login = 0;

int64_t MaxTaskLength = 45;
char16_t* ResourceDir = nullptr;
char16_t* PrefsFile = nullptr;
id Defaults = nil;

id StatusBar = nil;
id StatusItem = nil;
char16_t* ReminderLine = nullptr;

int ProgramArgumentCount = 0;
char** ProgramArguments = nullptr;
