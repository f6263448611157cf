#include "platform/forms/formres/objecttext.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "platform/forms/formres/objecttextlines.h"
#include "platform/forms/formres/parser.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {

// Prefix flags of an object header in the binary format: a byte 0xF0 | flags before the class
// name.
constexpr std::uint8_t kFlagInherited = 1;
constexpr std::uint8_t kFlagChildPos = 2;
constexpr std::uint8_t kFlagInline = 4;
// Deeper nesting than this in a description is taken as damage rather than as a form.
constexpr int kMaxDepth = 200;

std::string ReadAll(TStream& input) {
  std::string text;
  char buf[4096];
  for (;;) {
    std::int64_t n = input.Read(buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

// --- text to binary

class TextToBinary {
 public:
  TextToBinary(std::string_view text, TWriter& writer, TTextLineMap* lines)
      : parser_(text), writer_(writer), lines_(lines) {}

  void Run() {
    writer_.WriteSignature();
    ConvertObject(0);
    if (parser_.Token() != TTokenKind::tkEOF) parser_.Error("End of text expected");
  }

 private:
  bool AtObjectStart() const {
    return parser_.IsIdent("object") || parser_.IsIdent("inherited") || parser_.IsIdent("inline");
  }

  void CheckDepth(int depth) {
    if (depth > kMaxDepth) parser_.Error("Nesting too deep");
  }

  void Mark() {
    if (lines_ != nullptr) lines_->emplace_back(writer_.Position(), parser_.SourceLine());
  }

  void ConvertObject(int depth) {
    CheckDepth(depth);
    Mark();
    std::uint8_t flags = 0;
    if (parser_.IsIdent("inherited")) {
      flags |= kFlagInherited;
    } else if (parser_.IsIdent("inline")) {
      flags |= kFlagInline;
    } else if (!parser_.IsIdent("object")) {
      parser_.Error("'object' expected");
    }
    parser_.NextToken();
    std::string name;
    std::string className = parser_.CheckIdentToken();
    parser_.NextToken();
    if (parser_.IsSymbol(':')) {
      parser_.NextToken();
      name = className;
      className = parser_.CheckIdentToken();
      parser_.NextToken();
    }
    CheckShortName(name);
    CheckShortName(className);
    bool hasPos = false;
    std::int64_t pos = 0;
    if (parser_.IsSymbol('[')) {
      parser_.NextToken();
      if (parser_.Token() != TTokenKind::tkInteger) parser_.Error("Integer expected");
      pos = parser_.TokenInt();
      hasPos = true;
      flags |= kFlagChildPos;
      parser_.NextToken();
      parser_.CheckSymbol(']');
      parser_.NextToken();
    }
    if (flags != 0) {
      const std::uint8_t prefix = 0xF0 | flags;
      writer_.Write(&prefix, 1);
    }
    writer_.WriteStr(className);
    writer_.WriteStr(name);
    if (hasPos) WriteInt(pos);
    while (!parser_.IsIdent("end") && !AtObjectStart()) {
      if (parser_.Token() == TTokenKind::tkEOF) parser_.Error("'end' expected");
      ConvertProperty(depth);
    }
    writer_.WriteListEnd();
    while (!parser_.IsIdent("end")) {
      if (!AtObjectStart()) parser_.Error("'end' expected");
      ConvertObject(depth + 1);
    }
    writer_.WriteListEnd();
    parser_.NextToken();
  }

  void CheckShortName(const std::string& s) {
    if (s.size() > 255) parser_.Error("Name too long");
  }

  void ConvertProperty(int depth) {
    Mark();
    std::string name = parser_.CheckIdentToken();
    CheckShortName(name);
    parser_.NextToken();
    parser_.CheckSymbol('=');
    parser_.NextToken();
    writer_.WritePropName(name);
    ConvertValue(depth + 1);
  }

  void WriteInt(std::int64_t v) { writer_.WriteInteger(v); }

  void ConvertValue(int depth) {
    CheckDepth(depth);
    switch (parser_.Token()) {
      case TTokenKind::tkInteger:
        WriteInt(parser_.TokenInt());
        parser_.NextToken();
        return;
      case TTokenKind::tkFloat: {
        double v = parser_.TokenFloat();
        switch (parser_.FloatType()) {
          case 's': writer_.WriteSingle(static_cast<float>(v)); break;
          case 'c': writer_.WriteCurrency(v); break;
          case 'd': writer_.WriteDate(v); break;
          default: writer_.WriteFloat(v); break;
        }
        parser_.NextToken();
        return;
      }
      case TTokenKind::tkString: {
        std::string s = parser_.TokenString();
        parser_.NextToken();
        while (parser_.IsSymbol('+')) {
          parser_.NextToken();
          if (parser_.Token() != TTokenKind::tkString) parser_.Error("String expected");
          s += parser_.TokenString();
          parser_.NextToken();
        }
        writer_.WriteString(s);
        return;
      }
      case TTokenKind::tkIdent:
        CheckShortName(parser_.TokenString());
        writer_.WriteIdent(parser_.TokenString());
        parser_.NextToken();
        return;
      case TTokenKind::tkSymbol:
        break;
      case TTokenKind::tkEOF:
        parser_.Error("Value expected");
    }
    switch (parser_.Symbol()) {
      case '[': {
        parser_.NextToken();
        std::vector<std::string> members;
        if (!parser_.IsSymbol(']')) {
          for (;;) {
            members.push_back(parser_.CheckIdentToken());
            CheckShortName(members.back());
            parser_.NextToken();
            if (parser_.IsSymbol(']')) break;
            parser_.CheckSymbol(',');
            parser_.NextToken();
          }
        }
        parser_.NextToken();
        writer_.WriteSet(members);
        return;
      }
      case '(': {
        parser_.NextToken();
        writer_.WriteListBegin();
        while (!parser_.IsSymbol(')')) ConvertValue(depth + 1);
        parser_.NextToken();
        writer_.WriteListEnd();
        return;
      }
      case '{':
        writer_.WriteBinary(parser_.HexToBinary());
        return;
      case '<': {
        parser_.NextToken();
        writer_.WriteValue(vaCollection);
        while (!parser_.IsSymbol('>')) {
          parser_.CheckIdent("item");
          parser_.NextToken();
          if (parser_.IsSymbol('[')) {
            parser_.NextToken();
            if (parser_.Token() != TTokenKind::tkInteger) parser_.Error("Integer expected");
            WriteInt(parser_.TokenInt());
            parser_.NextToken();
            parser_.CheckSymbol(']');
            parser_.NextToken();
          }
          writer_.WriteListBegin();
          while (!parser_.IsIdent("end")) {
            if (parser_.Token() == TTokenKind::tkEOF) parser_.Error("'end' expected");
            ConvertProperty(depth + 1);
          }
          parser_.NextToken();
          writer_.WriteListEnd();
        }
        parser_.NextToken();
        writer_.WriteListEnd();
        return;
      }
      default:
        parser_.Error("Invalid property value");
    }
  }

  TParser parser_;
  TWriter& writer_;
  TTextLineMap* lines_;
};

// --- binary to text

std::string FormatDouble(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general);
  std::string s(buf, r.ptr);
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";  // keeps it a float when read back
  return s;
}

std::string FormatSingle(float v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general);
  return std::string(buf, r.ptr);
}

bool Printable(unsigned char c) { return c >= 0x20 && c != 0x7F && c != '\''; }

class BinaryToText {
 public:
  BinaryToText(TReader& reader, std::string& out) : reader_(reader), out_(out) {}

  void Run() {
    reader_.ReadSignature();
    ConvertObject(0, 0);
  }

 private:
  void Indent(int n) { out_.append(static_cast<std::size_t>(n), ' '); }

  void CheckDepth(int depth) {
    if (depth > kMaxDepth) throw EReadError("Invalid stream format");
  }

  void ConvertObject(int indent, int depth) {
    CheckDepth(depth);
    std::uint8_t flags = 0;
    auto next = static_cast<std::uint8_t>(reader_.NextValue());
    if ((next & 0xF0) == 0xF0) {
      flags = next & 0x0F;
      reader_.ReadValue();
    }
    std::string className = reader_.ReadStr();
    std::string name = reader_.ReadStr();
    if (className.empty()) throw EReadError("Invalid stream format");
    Indent(indent);
    out_ += (flags & kFlagInherited) ? "inherited " : (flags & kFlagInline) ? "inline " : "object ";
    if (!name.empty()) out_ += name + ": ";
    out_ += className;
    if (flags & kFlagChildPos) out_ += " [" + std::to_string(reader_.ReadInt64()) + "]";
    out_ += "\n";
    while (!reader_.EndOfList()) ConvertProperty(indent + 2, depth);
    reader_.ReadListEnd();
    while (!reader_.EndOfList()) ConvertObject(indent + 2, depth + 1);
    reader_.ReadListEnd();
    Indent(indent);
    out_ += "end\n";
  }

  void ConvertProperty(int indent, int depth) {
    std::string name = reader_.ReadStr();
    Indent(indent);
    out_ += name + " = ";
    ConvertValue(indent, depth + 1);
    out_ += "\n";
  }

  void WriteString(const std::string& s, int indent) {
    if (s.empty()) {
      out_ += "''";
      return;
    }
    constexpr std::size_t kLineBytes = 64;
    for (std::size_t start = 0; start < s.size(); start += kLineBytes) {
      if (start > 0) {
        out_ += " +\n";
        Indent(indent + 2);
      }
      bool quoted = false;
      std::size_t end = std::min(s.size(), start + kLineBytes);
      for (std::size_t i = start; i < end; ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (Printable(c)) {
          if (!quoted) out_ += '\'';
          quoted = true;
          out_ += static_cast<char>(c);
        } else if (c == '\'') {
          if (!quoted) out_ += '\'';
          quoted = true;
          out_ += "''";
        } else {
          if (quoted) out_ += '\'';
          quoted = false;
          out_ += '#';
          out_ += std::to_string(c);
        }
      }
      if (quoted) out_ += '\'';
    }
  }

  void ConvertValue(int indent, int depth) {
    CheckDepth(depth);
    static const char* const kHex = "0123456789ABCDEF";
    switch (reader_.NextValue()) {
      case vaList:
        reader_.ReadValue();
        out_ += "(";
        while (!reader_.EndOfList()) {
          out_ += "\n";
          Indent(indent + 2);
          ConvertValue(indent + 2, depth + 1);
        }
        reader_.ReadListEnd();
        out_ += ")";
        return;
      case vaInt8:
      case vaInt16:
      case vaInt32:
      case vaInt64:
        out_ += std::to_string(reader_.ReadInt64());
        return;
      case vaExtended:
        out_ += FormatDouble(reader_.ReadFloat());
        return;
      case vaSingle:
        out_ += FormatSingle(reader_.ReadSingle()) + "s";
        return;
      case vaCurrency:
        out_ += FormatDouble(reader_.ReadCurrency()) + "c";
        return;
      case vaDate:
        out_ += FormatDouble(reader_.ReadDate()) + "d";
        return;
      case vaString:
      case vaLString:
      case vaWString:
        WriteString(reader_.ReadString(), indent);
        return;
      case vaIdent:
      case vaFalse:
      case vaTrue:
      case vaNil:
      case vaNull:
        out_ += reader_.ReadIdent();
        return;
      case vaBinary: {
        std::string bytes = reader_.ReadBinary();
        out_ += "{";
        for (std::size_t i = 0; i < bytes.size(); ++i) {
          if (i % 32 == 0) {
            out_ += "\n";
            Indent(indent + 2);
          }
          auto b = static_cast<unsigned char>(bytes[i]);
          out_ += kHex[b >> 4];
          out_ += kHex[b & 15];
        }
        out_ += "}";
        return;
      }
      case vaSet: {
        std::vector<std::string> members = reader_.ReadSet();
        out_ += "[";
        for (std::size_t i = 0; i < members.size(); ++i) {
          if (i > 0) out_ += ", ";
          out_ += members[i];
        }
        out_ += "]";
        return;
      }
      case vaCollection: {
        reader_.ReadValue();
        out_ += "<";
        while (!reader_.EndOfList()) {
          out_ += "\n";
          Indent(indent + 2);
          out_ += "item";
          TValueType t = reader_.NextValue();
          if (t == vaInt8 || t == vaInt16 || t == vaInt32) out_ += " [" + std::to_string(reader_.ReadInteger()) + "]";
          reader_.ReadListBegin();
          out_ += "\n";
          while (!reader_.EndOfList()) ConvertProperty(indent + 4, depth + 1);
          reader_.ReadListEnd();
          Indent(indent + 2);
          out_ += "end";
        }
        reader_.ReadListEnd();
        out_ += ">";
        return;
      }
      default:
        throw EReadError("Invalid property value");
    }
  }

  TReader& reader_;
  std::string& out_;
};

}  // namespace

void ObjectTextToBinary(TStream& input, TStream& output) {
  std::string text = ReadAll(input);
  TWriter writer(output);
  TextToBinary(text, writer, nullptr).Run();
  writer.FlushBuffer();
}

std::string ObjectTextToBinary(std::string_view text) {
  TMemoryStream out;
  {
    TWriter writer(out);
    TextToBinary(text, writer, nullptr).Run();
    writer.FlushBuffer();
  }
  return out.Bytes();
}

void ObjectBinaryToText(TStream& input, TStream& output) {
  std::string text;
  {
    TReader reader(input);
    BinaryToText(reader, text).Run();
  }
  output.WriteBuffer(text);
}

std::string ObjectBinaryToText(std::string_view binary) {
  TMemoryStream in;
  in.WriteBuffer(binary);
  in.SetPosition(0);
  std::string text;
  TReader reader(in);
  BinaryToText(reader, text).Run();
  return text;
}

std::string ObjectTextToBinary(std::string_view text, TTextLineMap& lines) {
  TMemoryStream out;
  {
    TWriter writer(out);
    TextToBinary(text, writer, &lines).Run();
    writer.FlushBuffer();
  }
  return out.Bytes();
}

bool IsBinaryComponentStream(std::string_view bytes) { return bytes.substr(0, 4) == "TPF0"; }

}  // namespace tw
