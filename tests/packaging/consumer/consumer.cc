// A host of the installed library: typed calls of each class, one late-bound call, and a store
// file of its own. Usage: consumer STORE
#include <corvane/corvane.h>

#include <iostream>
#include <string>

using namespace corvane;

static std::string Text(const String& text) {
  return rt::ToUtf8(text);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer STORE\n";
    return 2;
  }
  registry::InstallRegistry(registry::OpenStore(argv[1]));
  std::cout << "library " << LibraryVersion() << ", built against " << CORVANE_VERSION << "\n";

  // Tarnel: the pass phrase comes back as the key, an Integer.
  Tarnel tarnel;
  Variant text = Variant::OfString(u"abc");
  Variant pass = Variant::OfString(u"secret");
  const Variant cipher = tarnel.Encrypt(text, pass);
  std::cout << "Encrypt: " << Text(cipher.string()) << ", key " << TypeName(pass.kind()) << " "
            << pass.integer() << "\n";
  try {
    Variant too_long = Variant::OfString(String(256, u'x'));
    Variant key = Variant::OfString(u"k");
    tarnel.Encrypt(too_long, key);
    std::cout << "no error\n";
  } catch (const rt::RuntimeError& error) {
    std::cout << "error " << error.number() << ": " << error.what() << "\n";
  }
  String delimiters = u",;";
  StringArray parts;
  const Long last = tarnel.sSplit(u"red,green;blue", delimiters, parts);
  std::cout << "sSplit: " << last;
  for (const String& part : parts.elements()) std::cout << " [" << Text(part) << "]";
  std::cout << "\n";

  // Registry and Declares, on this program's own store.
  Registry settings;
  Long root = registry::kCurrentUser;
  String path = u"Software\\Consumer";
  String name = u"Greeting";
  String data = u"hello";
  settings.savestring(root, path, name, data);
  std::cout << "getstring: " << Text(settings.getstring(root, path, name).string()) << "\n";
  Declares declares;
  String key_path = u"HKEY_CURRENT_USER\\Software\\Consumer";
  String entry = u"Count";
  Long count = 42;
  declares.SetDWORDValue(key_path, entry, count);
  std::cout << "SetDWORDValue rewrote the path to " << Text(key_path) << "\n";
  key_path = u"HKEY_CURRENT_USER\\Software\\Consumer";
  std::cout << "GetDWORDValue: " << declares.GetDWORDValue(key_path, entry).long_value() << "\n";
  std::error_code ec;
  const registry::Key key =
      registry::Key::Open(registry::Hive::kCurrentUser, "Software\\Consumer", ec);
  std::cout << "Key: Count " << key.ReadDword("Count").value_or(0) << ", Greeting "
            << key.ReadString("Greeting").value_or("?") << "\n";

  // Late binding by programmatic identifier.
  std::unique_ptr<server::Instance> object = server::CreateInstance("Corvane.Tarnel");
  server::Argument word = Variant::OfString(u"abcdef");
  server::Argument* args[] = {&word};
  const server::DispatchResult result = server::Invoke(*object, "scramb", args);
  std::cout << "scramb by name: " << Text(result.result.string()) << "\n";
  return result.status == server::kOk ? 0 : 1;
}
