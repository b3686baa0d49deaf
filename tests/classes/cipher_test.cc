// The text cipher: key derivation, the shift table, Skip-mode losses, write-back and limits.
#include <string>
#include <vector>

#include "corvane/tarnel.h"
#include "runtime/text_ops.h"
#include "tests/support/test_support.h"

namespace corvane {
namespace {

using corvane::testing::ErrorOf;
using corvane::testing::Show;

// A text of the given ANSI codes.
String Codes(std::initializer_list<int> codes) {
  String text;
  for (int c : codes)
    text += rt::Chr(c);
  return text;
}

// A pass phrase whose codes add up to `sum` (0..32767) without any overflowing addition.
String PassPhraseWithSum(int sum) {
  String pass(static_cast<size_t>(sum / 255), rt::Chr(255)[0]);
  if (sum % 255 != 0) pass += rt::Chr(sum % 255);
  return pass;
}

// The key that Encrypt writes back for `pass`.
Integer KeyOf(const String& pass) {
  Tarnel tarnel;
  Variant text;
  Variant salasana = Variant::OfString(pass);
  tarnel.Encrypt(text, salasana);
  EXPECT_EQ(salasana.kind(), VariantKind::kInteger);
  return salasana.integer();
}

// The output code of the cipher for one input code, independent of the implementation: the
// "output code" columns of the shift table, by cycle number n = position mod 6.
int ExpectedCode(bool encrypt, int position, int code, int key) {
  static const int kEncryptOffset[6] = {2, -4, 6, 1, 7, 0};  // n = 0..5
  static const int kKeySign[6] = {-1, 1, -1, 1, -1, 1};
  const int n = position % 6;
  if (encrypt) return code + kKeySign[n] * key + kEncryptOffset[n];
  return code - kKeySign[n] * key - kEncryptOffset[n];
}

// Enciphers or deciphers with a pass phrase handed in afresh.
String Cipher(bool encrypt, const String& text, const String& pass) {
  Tarnel tarnel;
  Variant texti = Variant::OfString(text);
  Variant salasana = Variant::OfString(pass);
  const Variant result =
      encrypt ? tarnel.Encrypt(texti, salasana) : tarnel.Decrypt(texti, salasana);
  EXPECT_EQ(result.kind(), VariantKind::kString);
  EXPECT_TRUE(texti == Variant::OfString(text)) << "the text argument was written";
  return result.string();
}

TEST(CipherKey, EverySumGivesTheClosedForm) {
  for (int sum = 0; sum <= 32767; ++sum) {
    ASSERT_EQ(KeyOf(PassPhraseWithSum(sum)), (sum + 5) / 60) << "sum " << sum;
  }
}

struct KeyRow {
  const char* name;
  String pass;
  Integer key;
};

TEST(CipherKey, Edges) {
  const KeyRow rows[] = {
      {"empty pass phrase", u"", 0},
      {"sum 54", PassPhraseWithSum(54), 0},
      {"sum 55", PassPhraseWithSum(55), 1},
      {"sum 114", PassPhraseWithSum(114), 1},
      {"sum 115", PassPhraseWithSum(115), 2},
      {"sum 32767", PassPhraseWithSum(32767), 546},
      // 163 * 200 = 32600; every further addition would overflow and is skipped.
      {"255 characters of code 200", String(255, rt::Chr(200)[0]), 543},
      {"overflow skipped, a later small code still added",
       String(128, rt::Chr(255)[0]) + rt::Chr(255) + rt::Chr(127), 546},
      {"the digit 0 (sum 48)", u"0", 0},
      {"a character outside the code page counts as ?", u"\u4E2D", 1},  // 63 -> (63+5)/60
  };
  for (const KeyRow& row : rows)
    EXPECT_EQ(KeyOf(row.pass), row.key) << row.name;
}

TEST(Cipher, WorkedExample) {
  EXPECT_EQ(Cipher(true, u"abcdef", u""), Codes({93, 104, 100, 107, 101, 104}));
  EXPECT_EQ(Cipher(true, u"abcdef", u""), u"]hdkeh");
  EXPECT_EQ(Cipher(false, u"]hdkeh", u""), u"abcdef");
}

struct LossRow {
  const char* name;
  bool encrypt;
  String text;
  String pass;
  String expected;
};

TEST(Cipher, CharactersOutsideTheCodeRangeAreLeftOut) {
  const LossRow rows[] = {
      {"code 2 would become -2; 97 keeps the shift of position 2", true, Codes({2, 97}), u"", u"g"},
      {"decrypt of the shortened text does not restore it", false, u"g", u"", u"k"},
      {"255 at position 2 of a key-0 encrypt becomes 261", true, Codes({97, 255, 97}), u"",
       Codes({93, 98})},
      {"decrypt at position 3 of code 0 becomes -1", false, Codes({97, 97, 0, 97}), u"",
       Codes({101, 91, 90})},
      {"empty text", true, u"", u"secret", u""},
  };
  for (const LossRow& row : rows) {
    EXPECT_EQ(Cipher(row.encrypt, row.text, row.pass), row.expected) << row.name;
  }
}

TEST(Cipher, EveryCodeAtEveryPositionFollowsTheShiftTable) {
  const std::vector<String> passes = {
      u"",
      u"a",
      u"secret",
      u"pass phrase",
      u"Z\u00FCrich \u20AC",
      String(255, rt::Chr(255)[0]),
      PassPhraseWithSum(32767),
      u"0123456789",
  };
  for (const String& pass : passes) {
    const int key = KeyOf(pass);
    for (bool encrypt : {true, false}) {
      for (int position = 1; position <= 6; ++position) {
        for (int code = 0; code <= 255; ++code) {
          // Neighbours of code 128 survive every key of these pass phrases.
          String text(7, rt::Chr(128)[0]);
          text[position - 1] = rt::Chr(code)[0];
          const String got = Cipher(encrypt, text, pass);
          String expected;
          for (int p = 1; p <= 7; ++p) {
            const int out = ExpectedCode(encrypt, p, rt::Asc(text.substr(p - 1, 1)), key);
            if (out >= 0 && out <= 255) expected += rt::Chr(out);
          }
          ASSERT_EQ(got, expected) << "pass " << Show(pass) << " position " << position << " code "
                                   << code << (encrypt ? " encrypt" : " decrypt");
          if (encrypt && got.size() == text.size()) {
            ASSERT_EQ(Cipher(false, got, pass), text) << "round trip, pass " << Show(pass);
          }
        }
      }
    }
  }
}

TEST(Cipher, RoundTripsOverEveryByteValue) {
  // Every byte value inside texts of the 255-character limit, for a spread of pass phrases:
  // whatever Encrypt keeps whole, Decrypt restores.
  String all;
  for (int code = 0; code <= 255; ++code)
    all += rt::Chr(code);
  const std::vector<String> passes = {u"", u"k", u"secret", u"The quick brown fox",
                                      u"\u00FF\u00FE"};
  for (const String& pass : passes) {
    for (size_t offset = 0; offset < 6; ++offset) {
      const String text = all.substr(offset, 255);
      const String cipher = Cipher(true, text, pass);
      if (cipher.size() == text.size()) {
        EXPECT_EQ(Cipher(false, cipher, pass), text) << Show(pass) << " offset " << offset;
      } else {
        EXPECT_LT(cipher.size(), text.size());
      }
    }
    // The middle of the code range survives every one of these keys.
    const String middle = all.substr(64, 128);
    ASSERT_EQ(Cipher(false, Cipher(true, middle, pass), pass), middle) << Show(pass);
  }
}

TEST(Cipher, KeyIsWrittenBackAsAnInteger) {
  Tarnel tarnel;
  Variant text = Variant::OfString(u"abc");
  Variant pass;  // Empty: the text "", key 0
  tarnel.Encrypt(text, pass);
  EXPECT_TRUE(pass == Variant::OfInteger(0));
  // A further call with the overwritten variable reads its text "0" (code 48): key 0 again.
  tarnel.Encrypt(text, pass);
  EXPECT_TRUE(pass == Variant::OfInteger(0));

  // The overwritten variable derives the key from the key's decimal text instead.
  Variant secret = Variant::OfString(PassPhraseWithSum(32767));
  const Variant cipher = tarnel.Encrypt(text, secret);
  EXPECT_TRUE(secret == Variant::OfInteger(546));
  Variant cipher_text = cipher;
  const Variant wrong = tarnel.Decrypt(cipher_text, secret);  // key of "546": sum 159 -> 2
  EXPECT_TRUE(secret == Variant::OfInteger(2));
  EXPECT_NE(wrong.string(), u"abc");
}

TEST(Cipher, OneVariableForBothArgumentsShiftsTheKeyText) {
  Tarnel tarnel;
  Variant both = Variant::OfString(u"hello");  // sum 532 -> key 8
  const Variant result = tarnel.Encrypt(both, both);
  EXPECT_TRUE(both == Variant::OfInteger(8));
  EXPECT_EQ(result.string(), Codes({'8' + 8 - 4}));  // the text "8" at position 1

  Variant again = Variant::OfString(u"hello");
  EXPECT_EQ(tarnel.Decrypt(again, again).string(), Codes({'8' - 8 + 4}));
}

TEST(Cipher, NumericTextArgumentsUseTheirDecimalText) {
  Tarnel tarnel;
  Variant number = Variant::OfLong(123);
  Variant pass = Variant::OfString(u"");
  EXPECT_EQ(tarnel.Encrypt(number, pass).string(), Cipher(true, u"123", u""));
  EXPECT_TRUE(number == Variant::OfLong(123));
}

TEST(Cipher, TextsOfExactly255CharactersAreShiftedWhole) {
  const String text(255, u'm');
  // 254 codes of 1 and a last ")" (41): the sum 295 gives key 5 only with the last character.
  const String pass = String(254, u'\x01') + u")";
  EXPECT_EQ(KeyOf(pass), 5);
  const String cipher = Cipher(true, text, pass);
  EXPECT_EQ(cipher.size(), 255u);
  EXPECT_EQ(Cipher(false, cipher, pass), text);
}

struct RefusedRow {
  const char* name;
  Variant texti;
  Variant salasana;
  int error;
};

TEST(Cipher, RefusesArgumentsWithoutAByteLength) {
  const Variant ok = Variant::OfString(u"abc");
  const Variant long_text = Variant::OfString(String(256, u'a'));
  const RefusedRow rows[] = {
      {"text of 256 characters", long_text, ok, 6},
      {"pass phrase of 256 characters", ok, long_text, 6},
      {"Null text", Variant::Null(), ok, 6},
      {"Null pass phrase", ok, Variant::Null(), 6},
      {"Error value as text", Variant::Missing(), ok, 13},
      {"Error value as pass phrase", ok, Variant::Missing(), 13},
  };
  Tarnel tarnel;
  for (const RefusedRow& row : rows) {
    for (bool encrypt : {true, false}) {
      SCOPED_TRACE(row.name);
      Variant texti = row.texti;
      Variant salasana = row.salasana;
      const auto error = ErrorOf(
          [&] { encrypt ? tarnel.Encrypt(texti, salasana) : tarnel.Decrypt(texti, salasana); });
      EXPECT_EQ(error, row.error);
      EXPECT_TRUE(texti == row.texti);
      EXPECT_TRUE(salasana == row.salasana);
    }
  }
  Variant both = long_text;
  EXPECT_EQ(ErrorOf([&] { tarnel.Encrypt(both, both); }), 6);
  EXPECT_TRUE(both == long_text);
}

}  // namespace
}  // namespace corvane
