#pragma once

// TRUE when this process may write below Program Files: its token has the Administrators group
// enabled. A member of Administrators started without elevation (UAC) has the group only for
// denying, and gets FALSE, as does a process whose token cannot be asked.
bool HasAdministratorRights();
