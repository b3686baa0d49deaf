// Declares: registry access on keys named by one line of text (HKEY_CURRENT_USER\Software\Demo).
//
// Its methods are not built yet; the class exists so that hosts can create it and the method
// table can name it.
#pragma once

namespace corvane {

class Declares {};

}  // namespace corvane
