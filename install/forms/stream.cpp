#include "stream.h"

#include "collection.h"
#include "graphics.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace forms {

namespace {

constexpr int kMaxNesting = 64;
constexpr size_t kBinaryBytesPerLine = 32;

enum class TokenKind { Identifier, Integer, String, Symbol, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;  // identifier, decoded string, integer digits or the symbol
  int line = 1;
};

class Lexer {
public:
  explicit Lexer(const std::string& text) : text_(text) {}

  Token Next() {
    SkipBlanksAndComments();
    Token token;
    token.line = line_;
    if (pos_ >= text_.size()) return token;
    char c = text_[pos_];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      token.kind = TokenKind::Identifier;
      while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) ||
                                     text_[pos_] == '_'))
        token.text += text_[pos_++];
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') {
      token.kind = TokenKind::Integer;
      token.text += text_[pos_++];
      while (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_])))
        token.text += text_[pos_++];
    } else if (c == '"') {
      token.kind = TokenKind::String;
      ++pos_;
      token.text = ReadStringBody(token.line);
    } else if (std::string("{}[](),=.<>").find(c) != std::string::npos) {
      token.kind = TokenKind::Symbol;
      token.text = std::string(1, c);
      ++pos_;
    } else {
      throw EReadError(Format("Line %d: unexpected character '%s'", {int64_t{line_}, std::string(1, c)}));
    }
    return token;
  }

  // Binary data, after its '{': hexadecimal digits, two a byte, with blanks
  // and line ends anywhere between them, up to the closing '}'.
  std::string ReadBinaryBody(int line) {
    std::string out;
    int high = -1;
    while (true) {
      if (pos_ >= text_.size()) throw EReadError(Format("Line %d: unterminated binary data", {int64_t{line}}));
      char c = text_[pos_++];
      if (c == '}') break;
      if (c == '\n') ++line_;
      if (std::isspace(static_cast<unsigned char>(c))) continue;
      if (!std::isxdigit(static_cast<unsigned char>(c)))
        throw EReadError(Format("Line %d: '%s' is not a hexadecimal digit", {int64_t{line_}, std::string(1, c)}));
      int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
      if (high < 0) {
        high = digit;
      } else {
        out += static_cast<char>(high * 16 + digit);
        high = -1;
      }
    }
    if (high >= 0) throw EReadError(Format("Line %d: an odd number of hexadecimal digits", {int64_t{line}}));
    return out;
  }

private:
  void SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        return;
      }
    }
  }

  std::string ReadStringBody(int line) {
    std::string out;
    while (true) {
      if (pos_ >= text_.size() || text_[pos_] == '\n')
        throw EReadError(Format("Line %d: unterminated string", {int64_t{line}}));
      char c = text_[pos_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) continue;  // reported as unterminated above
      char escape = text_[pos_++];
      switch (escape) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case 'x': {
          int32_t value = 0;
          std::string hex = "0x" + text_.substr(pos_, 2);
          if (hex.size() != 4 || !TryStrToInt(hex, value))
            throw EReadError(Format("Line %d: bad \\x escape", {int64_t{line}}));
          out += static_cast<char>(value);
          pos_ += 2;
          break;
        }
        default:
          throw EReadError(Format("Line %d: unknown escape \\%s", {int64_t{line}, std::string(1, escape)}));
      }
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
  int line_ = 1;
};

struct Fixup {
  TPersistent* object;
  const PropInfo* property;
  std::string name;
  int line;
};

class Reader {
public:
  Reader(TComponent& root, const std::string& text) : root_(root), lexer_(text) { Advance(); }

  void Read() {
    Token class_token = Expect(TokenKind::Identifier, "a class name");
    Token name_token = Expect(TokenKind::Identifier, "an object name");
    if (!root_.InheritsFrom(class_token.text))
      Fail(class_token, Format("%s is not the class of %s", {class_token.text, root_.ClassName()}));
    Begin(root_);
    if (!name_token.text.empty()) root_.SetName(name_token.text);
    ReadBody(root_, 1);
    if (token_.kind != TokenKind::End) Fail(token_, "text after the end of the root object");
    ResolveFixups();
    for (TComponent* component : loaded_) component->Loaded();
    for (TComponent* component : loaded_) component->AfterLoaded();
  }

private:
  [[noreturn]] void Fail(const Token& at, const std::string& what) {
    throw EReadError(Format("Line %d: %s", {int64_t{at.line}, what}));
  }

  void Advance() { token_ = lexer_.Next(); }

  bool IsSymbol(const char* symbol) const {
    return token_.kind == TokenKind::Symbol && token_.text == symbol;
  }

  Token Expect(TokenKind kind, const std::string& what) {
    if (token_.kind != kind) Fail(token_, "expected " + what);
    Token taken = token_;
    Advance();
    return taken;
  }

  void ExpectSymbol(const char* symbol) {
    if (!IsSymbol(symbol)) Fail(token_, std::string("expected '") + symbol + "'");
    Advance();
  }

  void Begin(TComponent& component) {
    component.SetLoading(true);
    loaded_.push_back(&component);
  }

  // The body of an object: '{' then properties and held objects, then '}'.
  void ReadBody(TComponent& object, int depth) {
    if (depth > kMaxNesting) Fail(token_, "objects nested too deeply");
    ExpectSymbol("{");
    while (!IsSymbol("}")) {
      Token first = Expect(TokenKind::Identifier, "a property or a class name");
      if (token_.kind == TokenKind::Identifier || IsSymbol("{"))
        ReadHeldObject(object, first, depth);
      else
        ReadProperty(object, first);
    }
    Advance();
  }

  // A held object: its class, its name (an unnamed one has none), its body.
  void ReadHeldObject(TComponent& parent, const Token& class_token, int depth) {
    Token name_token = token_.kind == TokenKind::Identifier ? Expect(TokenKind::Identifier, "") : Token{};
    const ClassInfo* info = FindClass(class_token.text);
    if (!info || !info->create) Fail(class_token, "Class " + class_token.text + " not found");
    TComponent* child = info->create(&root_);
    Begin(*child);
    try {
      child->SetName(name_token.text);
    } catch (const EComponentError& error) {
      Fail(name_token, error.Message());
    }
    child->SetParentComponent(&parent);
    ReadBody(*child, depth + 1);
  }

  void ReadProperty(TPersistent& object, const Token& name_token) {
    TPersistent* target = &object;
    const PropInfo* property = FindProperty(*target, name_token);
    std::string path = property->name;
    while (IsSymbol(".")) {
      if (property->kind != PropKind::Object)
        Fail(name_token, "Property " + property->name + " holds no properties");
      target = property->get_object(*target);
      Advance();
      property = FindProperty(*target, Expect(TokenKind::Identifier, "a property name"));
      path += "." + property->name;
    }
    ExpectSymbol("=");
    try {
      ReadValue(*target, *property);
    } catch (const EInvalidGraphic& error) {
      Fail(name_token, "Invalid value for property " + path + ": " + error.Message());
    }
  }

  const PropInfo* FindProperty(TPersistent& object, const Token& name_token) {
    const PropInfo* property = object.ClassType().FindProperty(name_token.text);
    if (!property)
      Fail(name_token, "Property " + name_token.text + " does not exist in " + object.ClassName());
    return property;
  }

  [[noreturn]] void BadValue(const Token& at, const PropInfo& property) {
    Fail(at, "Invalid value '" + at.text + "' for property " + property.name);
  }

  int64_t OrdinalOf(const Token& at, const PropInfo& property) {
    for (size_t i = 0; i < property.names.size(); ++i)
      if (SameText(property.names[i], at.text)) return static_cast<int64_t>(i);
    BadValue(at, property);
  }

  void ReadValue(TPersistent& object, const PropInfo& property) {
    Token value = token_;
    switch (property.kind) {
      case PropKind::Bool:
        if (value.kind != TokenKind::Identifier ||
            !(SameText(value.text, "True") || SameText(value.text, "False")))
          BadValue(value, property);
        Advance();
        property.set_ordinal(object, SameText(value.text, "True") ? 1 : 0);
        return;
      case PropKind::Int: {
        int32_t number = 0;
        if (value.kind != TokenKind::Integer || !TryStrToInt(value.text, number))
          BadValue(value, property);
        Advance();
        property.set_ordinal(object, number);
        return;
      }
      case PropKind::Enum:
        if (value.kind != TokenKind::Identifier) BadValue(value, property);
        Advance();
        property.set_ordinal(object, OrdinalOf(value, property));
        return;
      case PropKind::Set:
        property.set_ordinal(object, ReadSet(property));
        return;
      case PropKind::String:
        property.set_string(object, ReadString(property));
        return;
      case PropKind::Strings:
        property.set_strings(object, ReadStringList(property));
        return;
      case PropKind::Component:
        if (value.kind != TokenKind::Identifier) BadValue(value, property);
        Advance();
        if (SameText(value.text, "nil"))
          property.set_component(object, nullptr);
        else
          fixups_.push_back({&object, &property, value.text, value.line});
        return;
      case PropKind::Event:
        if (value.kind != TokenKind::Identifier) BadValue(value, property);
        Advance();
        BindEvent(object, property, value);
        return;
      case PropKind::Object:
        Fail(value, "Property " + property.name + " is an object: set its properties instead");
      case PropKind::Collection:
        ReadCollection(static_cast<TCollection&>(*property.get_object(object)));
        return;
      case PropKind::Binary: {
        if (!IsSymbol("{")) BadValue(value, property);
        std::string bytes = lexer_.ReadBinaryBody(value.line);
        Advance();
        property.set_bytes(object, bytes);
        return;
      }
    }
  }

  // '<', item bodies, '>': the items replace what the collection held.
  void ReadCollection(TCollection& collection) {
    ExpectSymbol("<");
    collection.Clear();
    while (!IsSymbol(">")) {
      TCollectionItem* item = collection.Add();
      ExpectSymbol("{");
      while (!IsSymbol("}")) ReadProperty(*item, Expect(TokenKind::Identifier, "a property name"));
      Advance();
    }
    Advance();
  }

  int64_t ReadSet(const PropInfo& property) {
    ExpectSymbol("[");
    int64_t bits = 0;
    while (!IsSymbol("]")) {
      if (bits != 0 || IsSymbol(",")) ExpectSymbol(",");
      Token element = Expect(TokenKind::Identifier, "a set element");
      bits |= int64_t{1} << OrdinalOf(element, property);
    }
    Advance();
    return bits;
  }

  std::string ReadString(const PropInfo& property) {
    if (token_.kind != TokenKind::String) BadValue(token_, property);
    std::string text;
    while (token_.kind == TokenKind::String) {  // adjacent strings join
      text += token_.text;
      Advance();
    }
    return text;
  }

  TStringList ReadStringList(const PropInfo& property) {
    ExpectSymbol("(");
    TStringList list;
    while (!IsSymbol(")")) {
      if (list.Count() > 0) ExpectSymbol(",");
      list.Add(ReadString(property));
    }
    Advance();
    return list;
  }

  void BindEvent(TPersistent& object, const PropInfo& property, const Token& value) {
    auto* component = dynamic_cast<TComponent*>(&object);
    if (SameText(value.text, "nil")) {
      property.set_event(object, std::any());
      if (component) component->RecordEventBinding(property.name, "");
      return;
    }
    const auto* method = root_.ClassType().FindMethod(value.text);
    if (!method) Fail(value, "Method " + value.text + " not found in " + root_.ClassName());
    if (!property.set_event(object, (*method)(root_)))
      Fail(value, "Method " + value.text + " does not fit event " + property.name);
    if (component) component->RecordEventBinding(property.name, value.text);
  }

  void ResolveFixups() {
    for (const Fixup& fixup : fixups_) {
      TComponent* target = SameText(fixup.name, root_.Name()) ? &root_ : root_.FindComponent(fixup.name);
      if (!target)
        throw EReadError(Format("Line %d: Unknown component %s", {int64_t{fixup.line}, fixup.name}));
      const std::string& class_name = fixup.property->value_class().name;
      if (!target->InheritsFrom(class_name))
        throw EReadError(Format("Line %d: %s is not a %s for property %s",
                                {int64_t{fixup.line}, fixup.name, class_name,
                                 fixup.property->name}));
      fixup.property->set_component(*fixup.object, target);
    }
  }

  TComponent& root_;
  Lexer lexer_;
  Token token_;
  std::vector<TComponent*> loaded_;
  std::vector<Fixup> fixups_;
};

class Writer {
public:
  explicit Writer(const TComponent& root) : root_(root) {}

  std::string Write() {
    WriteObject(root_, 0);
    return out_;
  }

private:
  static std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
      unsigned char byte = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        out += '\\';
        out += c;
      } else if (byte < 0x20 || byte >= 0x7F) {
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", byte);
        out += escape;
      } else {
        out += c;
      }
    }
    return out + "\"";
  }

  void Line(int depth, const std::string& text) { out_ += std::string(static_cast<size_t>(depth) * 2, ' ') + text + "\n"; }

  // The value of a property as the stream writes it; empty when left out.
  static std::string ValueOf(TPersistent& object, const PropInfo& property) {
    if (property.stored && !property.stored(object)) return "";
    switch (property.kind) {
      case PropKind::Bool:
      case PropKind::Int:
      case PropKind::Enum:
      case PropKind::Set: {
        int64_t value = property.get_ordinal(object);
        if (property.default_value && *property.default_value == value) return "";
        if (property.kind == PropKind::Bool) return value ? "True" : "False";
        if (property.kind == PropKind::Int) return IntToStr(value);
        if (property.kind == PropKind::Enum)
          return value >= 0 && static_cast<size_t>(value) < property.names.size() ? property.names[static_cast<size_t>(value)] : "";
        std::string set;
        for (size_t bit = 0; bit < property.names.size(); ++bit)
          if ((value >> bit) & 1) set += (set.empty() ? "" : ", ") + property.names[bit];
        return "[" + set + "]";
      }
      case PropKind::String: {
        std::string text = property.get_string(object);
        return text.empty() ? "" : Quoted(text);
      }
      case PropKind::Strings: {
        const TStringList& lines = property.get_strings(object);
        if (lines.Count() == 0) return "";
        std::string list;
        for (const auto& line : lines.Lines()) list += (list.empty() ? "" : ", ") + Quoted(line);
        return "(" + list + ")";
      }
      case PropKind::Component: {
        TComponent* target = property.get_component(object);
        return target ? target->Name() : "";
      }
      case PropKind::Object:
      case PropKind::Event:
      case PropKind::Collection:
      case PropKind::Binary:
        return "";
    }
    return "";
  }

  void WriteProperties(TPersistent& object, const std::string& prefix, int depth) {
    std::vector<const ClassInfo*> chain;
    for (const ClassInfo* info = &object.ClassType(); info; info = info->parent) chain.insert(chain.begin(), info);
    auto* component = dynamic_cast<TComponent*>(&object);
    for (const ClassInfo* info : chain) {
      for (const PropInfo& property : info->properties) {
        if (property.kind == PropKind::Object) {
          if (!property.stored || property.stored(object))
            WriteProperties(*property.get_object(object), prefix + property.name + ".", depth);
        } else if (property.kind == PropKind::Binary) {
          if (!property.stored || property.stored(object))
            WriteBinary(property.get_bytes(object), prefix + property.name, depth);
        } else if (property.kind == PropKind::Collection) {
          WriteCollection(static_cast<TCollection&>(*property.get_object(object)), prefix + property.name, depth);
        } else if (property.kind == PropKind::Event && component) {
          auto binding = component->EventBindings().find(property.name);
          if (binding != component->EventBindings().end())
            Line(depth, prefix + property.name + " = " + binding->second);
        } else if (std::string value = ValueOf(object, property); !value.empty()) {
          Line(depth, prefix + property.name + " = " + value);
        }
      }
    }
  }

  // Binary data as hexadecimal digits, 32 bytes a line; empty data is left out.
  void WriteBinary(const std::string& bytes, const std::string& name, int depth) {
    if (bytes.empty()) return;
    Line(depth, name + " = {");
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t start = 0; start < bytes.size(); start += kBinaryBytesPerLine) {
      std::string digits;
      for (size_t i = start; i < bytes.size() && i < start + kBinaryBytesPerLine; ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        digits += kDigits[byte >> 4];
        digits += kDigits[byte & 0x0F];
      }
      Line(depth + 1, digits);
    }
    Line(depth, "}");
  }

  void WriteCollection(const TCollection& collection, const std::string& name, int depth) {
    if (collection.Count() == 0) return;
    Line(depth, name + " = <");
    for (int i = 0; i < collection.Count(); ++i) {
      Line(depth + 1, "{");
      WriteProperties(*collection.Items(i), "", depth + 2);
      Line(depth + 1, "}");
    }
    Line(depth, ">");
  }

  void WriteObject(const TComponent& object, int depth) {
    Line(depth, object.ClassName() + (object.Name().empty() ? "" : " ") + object.Name() + " {");
    WriteProperties(const_cast<TComponent&>(object), "", depth + 1);
    for (int i = 0; i < root_.ComponentCount(); ++i) {
      TComponent* held = root_.Components(i);
      TComponent* parent = held->GetParentComponent();
      bool inside = &object == &root_ ? !parent || parent == &root_ : parent == &object;
      if (inside) WriteObject(*held, depth + 1);
    }
    Line(depth, "}");
  }

  const TComponent& root_;
  std::string out_;
};

}  // namespace

void ReadComponent(TComponent& root, const std::string& text) { Reader(root, text).Read(); }

std::string WriteComponent(const TComponent& root) { return Writer(root).Write(); }

}  // namespace forms
