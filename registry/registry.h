// Registry: registry access below a root or key handle that the caller passes.
//
// Its methods are not built yet; the class exists so that hosts can create it and the method
// table can name it.
#pragma once

namespace corvane {

class Registry {};

}  // namespace corvane
