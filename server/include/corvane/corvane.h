// The native Corvane library: the value types, the runtime error, the three classes called
// with typed arguments, the factory and late-bound dispatcher, the registry store and the
// ports a host may install.
#pragma once

#include "corvane/by_ref.h"
#include "corvane/clock.h"
#include "corvane/code_page.h"
#include "corvane/declares.h"
#include "corvane/dispatcher.h"
#include "corvane/errors.h"
#include "corvane/factory.h"
#include "corvane/key.h"
#include "corvane/message_box.h"
#include "corvane/messages.h"
#include "corvane/registry.h"
#include "corvane/registry_api.h"
#include "corvane/status.h"
#include "corvane/store.h"
#include "corvane/string_array.h"
#include "corvane/tarnel.h"
#include "corvane/types.h"
#include "corvane/variant.h"
#include "corvane/version.h"
