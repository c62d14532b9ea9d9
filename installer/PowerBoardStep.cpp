// The power-board branch of the installation. The serial link to the board is not part of this
// build yet, so the step says so in the log and leaves the board alone.
#include "installer/Ruckel.h"

#include "installer/InstallerLog.h"

void Ruckel::UpdatePowerBoard()
{
    InstallerLog::Instance().Write(u"PowerBoard support is not available in this build\n");
}
