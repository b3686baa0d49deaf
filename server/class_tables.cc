// The method tables of Tarnel, Registry and Declares, in interface order, with the thunks that
// call the core. Names, dispatch identifiers, directions and types match comserver/corvane.idl;
// a test under Wine holds this table against the compiled type library.
#include <array>

#include "corvane/declares.h"
#include "corvane/registry.h"
#include "corvane/tarnel.h"
#include "server/method_table.h"

namespace corvane::server {
namespace {

constexpr auto kByRef = Direction::kByRef;
constexpr auto kByVal = Direction::kByVal;
constexpr auto kS = ParamType::kString;
constexpr auto kL = ParamType::kLong;
constexpr auto kI = ParamType::kInteger;
constexpr auto kV = ParamType::kVariant;
constexpr auto kA = ParamType::kStringArray;

Tarnel& AsTarnel(void* object) {
  return *static_cast<Tarnel*>(object);
}
Registry& AsRegistry(void* object) {
  return *static_cast<Registry*>(object);
}
Declares& AsDeclares(void* object) {
  return *static_cast<Declares*>(object);
}

// _Tarnel
constexpr ParamInfo kTimedPauseParams[] = {{"secs", kL, kByRef}};
constexpr ParamInfo kSplitsParams[] = {{"chaine", kS, kByRef},
                                       {"separ", kS, kByRef},
                                       {"tableau", kA, kByRef},
                                       {"nb_elem", kI, kByRef}};
constexpr ParamInfo kSSplitParams[] = {
    {"sStr1", kS, kByVal}, {"sDelims", kS, kByRef}, {"sResult", kA, kByRef}};
constexpr ParamInfo kScrambParams[] = {{"strString", kS, kByRef}};
constexpr ParamInfo kCipherParams[] = {{"texti", kV, kByRef}, {"salasana", kV, kByRef}};

constexpr MethodInfo kTarnelMethods[] = {
    {"TimedPause", 0x60030000, kTimedPauseParams, ResultType::kVariant,
     [](void* o, CallFrame& f) { return AsTarnel(o).TimedPause([&f] { return f.FreshLong(0); }); }},
    {"Splits", 0x60030001, kSplitsParams, ResultType::kInteger,
     [](void* o, CallFrame& f) {
       return Variant::OfInteger(
           AsTarnel(o).Splits(f.string(0), f.string(1), f.array(2), f.integer(3)));
     }},
    {"sSplit", 0x60030002, kSSplitParams, ResultType::kLong,
     [](void* o, CallFrame& f) {
       return Variant::OfLong(AsTarnel(o).sSplit(f.string(0).get(), f.string(1), f.array(2)));
     }},
    {"scramb", 0x60030003, kScrambParams, ResultType::kString,
     [](void* o, CallFrame& f) { return Variant::OfString(AsTarnel(o).scramb(f.string(0))); }},
    {"Encrypt", 0x60030004, kCipherParams, ResultType::kVariant,
     [](void* o, CallFrame& f) { return AsTarnel(o).Encrypt(f.variant(0), f.variant(1)); }},
    {"Decrypt", 0x60030005, kCipherParams, ResultType::kVariant,
     [](void* o, CallFrame& f) { return AsTarnel(o).Decrypt(f.variant(0), f.variant(1)); }},
};

// _Registry
constexpr ParamInfo kSavekeyParams[] = {{"hKey", kL, kByRef}, {"strPath", kS, kByRef}};
constexpr ParamInfo kGetstringParams[] = {
    {"hKey", kL, kByRef}, {"strPath", kS, kByRef}, {"strValue", kS, kByRef}};
constexpr ParamInfo kGetstringxParams[] = {{"strPath", kS, kByRef}, {"strValue", kS, kByRef}};
constexpr ParamInfo kSavestringParams[] = {{"hKey", kL, kByRef},
                                           {"strPath", kS, kByRef},
                                           {"strValue", kS, kByRef},
                                           {"strdata", kS, kByRef}};
constexpr ParamInfo kGetdwordParams[] = {
    {"hKey", kL, kByVal}, {"strPath", kS, kByVal}, {"strValueName", kS, kByVal}};
constexpr ParamInfo kSaveDwordParams[] = {{"hKey", kL, kByVal},
                                          {"strPath", kS, kByVal},
                                          {"strValueName", kS, kByVal},
                                          {"lData", kL, kByVal}};
constexpr ParamInfo kRegistryDeleteKeyParams[] = {{"hKey", kL, kByVal}, {"strKey", kS, kByVal}};
constexpr ParamInfo kDeleteValueParams[] = {
    {"hKey", kL, kByVal}, {"strPath", kS, kByVal}, {"strValue", kS, kByVal}};

constexpr MethodInfo kRegistryMethods[] = {
    {"savekey", 0x60030000, kSavekeyParams, ResultType::kNone,
     [](void* o, CallFrame& f) {
       AsRegistry(o).savekey(f.long_value(0), f.string(1));
       return Variant();
     }},
    {"getstring", 0x60030001, kGetstringParams, ResultType::kVariant,
     [](void* o, CallFrame& f) {
       return AsRegistry(o).getstring(f.long_value(0), f.string(1), f.string(2));
     }},
    {"getstringx", 0x60030002, kGetstringxParams, ResultType::kVariant,
     [](void* o, CallFrame& f) { return AsRegistry(o).getstringx(f.string(0), f.string(1)); }},
    {"savestring", 0x60030003, kSavestringParams, ResultType::kNone,
     [](void* o, CallFrame& f) {
       AsRegistry(o).savestring(f.long_value(0), f.string(1), f.string(2), f.string(3));
       return Variant();
     }},
    {"getdword", 0x60030004, kGetdwordParams, ResultType::kLong,
     [](void* o, CallFrame& f) {
       return Variant::OfLong(
           AsRegistry(o).getdword(f.long_value(0), f.string(1).get(), f.string(2).get()));
     }},
    {"SaveDword", 0x60030005, kSaveDwordParams, ResultType::kVariant,
     [](void* o, CallFrame& f) {
       return AsRegistry(o).SaveDword(f.long_value(0), f.string(1).get(), f.string(2).get(),
                                      f.long_value(3));
     }},
    {"DeleteKey", 0x60030006, kRegistryDeleteKeyParams, ResultType::kVariant,
     [](void* o, CallFrame& f) {
       return AsRegistry(o).DeleteKey(f.long_value(0), f.string(1).get());
     }},
    {"DeleteValue", 0x60030007, kDeleteValueParams, ResultType::kVariant,
     [](void* o, CallFrame& f) {
       return AsRegistry(o).DeleteValue(f.long_value(0), f.string(1).get(), f.string(2).get());
     }},
};

// _Declares
constexpr ParamInfo kSetDwordValueParams[] = {
    {"subkey", kS, kByRef}, {"entry", kS, kByRef}, {"Value", kL, kByRef}};
constexpr ParamInfo kEntryParams[] = {{"subkey", kS, kByRef}, {"entry", kS, kByRef}};
constexpr ParamInfo kSetTextValueParams[] = {
    {"subkey", kS, kByRef}, {"entry", kS, kByRef}, {"Value", kS, kByRef}};
constexpr ParamInfo kKeynameParams[] = {{"keyname", kS, kByRef}};
constexpr ParamInfo kMainKeyNameParams[] = {{"MainKeyName", kS, kByRef}};
constexpr ParamInfo kErrorMsgParams[] = {{"lErrorCode", kL, kByRef}};
constexpr ParamInfo kSubkeyParams[] = {{"subkey", kS, kByRef}};

constexpr MethodInfo kDeclaresMethods[] = {
    {"SetDWORDValue", 0x60030000, kSetDwordValueParams, ResultType::kVariant,
     [](void* o, CallFrame& f) {
       return AsDeclares(o).SetDWORDValue(f.string(0), f.string(1), f.long_value(2));
     }},
    {"GetDWORDValue", 0x60030001, kEntryParams, ResultType::kVariant,
     [](void* o, CallFrame& f) { return AsDeclares(o).GetDWORDValue(f.string(0), f.string(1)); }},
    {"SetBinaryValue", 0x60030002, kSetTextValueParams, ResultType::kVariant,
     [](void* o, CallFrame& f) {
       return AsDeclares(o).SetBinaryValue(f.string(0), f.string(1), f.string(2));
     }},
    {"GetBinaryValue", 0x60030003, kEntryParams, ResultType::kVariant,
     [](void* o, CallFrame& f) { return AsDeclares(o).GetBinaryValue(f.string(0), f.string(1)); }},
    {"DeleteKey", 0x60030004, kKeynameParams, ResultType::kVariant,
     [](void* o, CallFrame& f) { return AsDeclares(o).DeleteKey(f.string(0)); }},
    {"GetMainKeyHandle", 0x60030005, kMainKeyNameParams, ResultType::kLong,
     [](void* o, CallFrame& f) {
       return Variant::OfLong(AsDeclares(o).GetMainKeyHandle(f.string(0)));
     }},
    {"ErrorMsg", 0x60030006, kErrorMsgParams, ResultType::kString,
     [](void* o, CallFrame& f) {
       return Variant::OfString(AsDeclares(o).ErrorMsg(f.long_value(0)));
     }},
    {"GetStringValue", 0x60030007, kEntryParams, ResultType::kVariant,
     [](void* o, CallFrame& f) { return AsDeclares(o).GetStringValue(f.string(0), f.string(1)); }},
    // 0x60030008 belongs to the class's private key path resolution.
    {"CreateKey", 0x60030009, kSubkeyParams, ResultType::kVariant,
     [](void* o, CallFrame& f) { return AsDeclares(o).CreateKey(f.string(0)); }},
    {"SetStringValue", 0x6003000A, kSetTextValueParams, ResultType::kVariant,
     [](void* o, CallFrame& f) {
       return AsDeclares(o).SetStringValue(f.string(0), f.string(1), f.string(2));
     }},
};

static_assert(FitsCallFrame(kTarnelMethods) && FitsCallFrame(kRegistryMethods) &&
                  FitsCallFrame(kDeclaresMethods),
              "a method has more parameters than a call frame holds");

constexpr ClassInfo kClasses[] = {
    {"Tarnel", "Corvane.Tarnel", "{8CA88E33-C0E8-11D5-B1AB-006097D869EE}", "_Tarnel",
     "{8CA88E32-C0E8-11D5-B1AB-006097D869EE}", kTarnelMethods},
    {"Registry", "Corvane.Registry", "{8CA88E35-C0E8-11D5-B1AB-006097D869EE}", "_Registry",
     "{8CA88E34-C0E8-11D5-B1AB-006097D869EE}", kRegistryMethods},
    {"Declares", "Corvane.Declares", "{8CA88E37-C0E8-11D5-B1AB-006097D869EE}", "_Declares",
     "{8CA88E36-C0E8-11D5-B1AB-006097D869EE}", kDeclaresMethods},
};

}  // namespace

std::span<const ClassInfo> Classes() {
  return kClasses;
}
const ClassInfo& TarnelClass() {
  return kClasses[0];
}
const ClassInfo& RegistryClass() {
  return kClasses[1];
}
const ClassInfo& DeclaresClass() {
  return kClasses[2];
}

}  // namespace corvane::server
