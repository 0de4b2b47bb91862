#include "components/TalvoDbObject.h"

bool KxDefineCommand(const ACHAR* group, const KxCmdTable* table, int count, int)
{
    if (!group || !table || count < 0)
        return false;
    bool ok = true;
    for (int i = 0; i < count; ++i)
        ok = acedRegCmds()->addCommand(group, table[i].globalName, table[i].globalName, table[i].flags,
                                       table[i].handler)
          && ok;
    return ok;
}
