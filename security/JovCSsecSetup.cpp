// Opens the setup editor for administrators.
#include "security/JovCSsec.h"

bool TJovCSsecure::Setup() { return false; }
