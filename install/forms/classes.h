// Components and their published properties.
//
// A TComponent has an owner that frees it, a name unique among the owner's
// components, a tag and a state (loading, destroying). Components are built
// in two steps so that virtual operations reach the most derived class from
// the start: New<T>(owner) runs T's plain C++ constructor (field values only)
// and then the virtual Create(owner) chain; Free runs the virtual Destroy
// chain before the memory goes. A derived Create calls its parent's Create
// first; a derived Destroy calls its parent's Destroy last.
//
// Every class describes itself with a ClassInfo: its name, its parent's
// ClassInfo, how to make one (for classes the stored stream may name) and
// its published properties. Properties are set through the class's own
// setters; each may carry a stream default (a value equal to it is not
// stored). Forms publish methods by name so that stored event properties
// can be bound to them.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "stringlist.h"
#include "sysutils.h"

namespace forms {

class TComponent;
struct ClassInfo;
class TPersistent;

enum class PropKind { Bool, Int, String, Enum, Set, Component, Strings, Object, Event, Collection, Binary };

// One published property. The accessors work on the object the property
// belongs to; only those that fit the kind are set.
struct PropInfo {
  std::string name;
  PropKind kind = PropKind::Int;
  std::vector<std::string> names;  // Enum and Set: value names by ordinal
  // Component: the class a value must inherit from. A function, because a
  // class may refer to itself while its description is being made.
  const ClassInfo& (*value_class)() = nullptr;
  std::optional<int64_t> default_value;  // Bool, Int, Enum, Set: not stored when equal
  // Whether the value is written at all; empty: always (defaults aside).
  std::function<bool(const TPersistent&)> stored;

  std::function<int64_t(const TPersistent&)> get_ordinal;  // Bool, Int, Enum, Set
  std::function<void(TPersistent&, int64_t)> set_ordinal;
  std::function<std::string(const TPersistent&)> get_string;
  std::function<void(TPersistent&, const std::string&)> set_string;
  std::function<TComponent*(const TPersistent&)> get_component;
  std::function<void(TPersistent&, TComponent*)> set_component;
  std::function<const TStringList&(const TPersistent&)> get_strings;
  std::function<void(TPersistent&, const TStringList&)> set_strings;
  std::function<TPersistent*(TPersistent&)> get_object;  // Object, Collection: the owned sub-object
  // Binary: the bytes; the setter raises Exception for bytes it refuses.
  std::function<std::string(const TPersistent&)> get_bytes;
  std::function<void(TPersistent&, const std::string&)> set_bytes;
  // Event: binds a published method (as returned by ClassInfo::methods) or
  // clears the event for an empty std::any; false when the method's
  // signature does not fit the event.
  std::function<bool(TPersistent&, const std::any&)> set_event;
};

struct ClassInfo {
  using MethodBinder = std::function<std::any(TPersistent&)>;
  ClassInfo(std::string class_name, const ClassInfo* parent_class = nullptr,
            std::function<TComponent*(TComponent*)> factory = nullptr,
            std::vector<PropInfo> published = {}, std::map<std::string, MethodBinder> published_methods = {})
      : name(std::move(class_name)),
        parent(parent_class),
        create(std::move(factory)),
        properties(std::move(published)),
        methods(std::move(published_methods)) {}

  std::string name;
  const ClassInfo* parent = nullptr;
  std::function<TComponent*(TComponent* owner)> create;  // empty: never stored by class
  std::vector<PropInfo> properties;
  // Published methods of a form: name -> the handler bound to a form object.
  std::map<std::string, MethodBinder> methods;

  bool InheritsFrom(const std::string& class_name) const;
  // The property of this class or a parent, by name ignoring case.
  const PropInfo* FindProperty(const std::string& property) const;
  // The published method of this class or a parent, by name ignoring case.
  const std::function<std::any(TPersistent&)>* FindMethod(const std::string& method) const;
};

// Declares the class description of a class; define StaticClass in the source.
#define FORMS_CLASS(Class)                                                          \
 public:                                                                            \
  static const ::forms::ClassInfo& StaticClass();                                   \
  const ::forms::ClassInfo& ClassType() const override { return StaticClass(); }

class TPersistent {
public:
  virtual ~TPersistent() = default;
  static const ClassInfo& StaticClass();
  virtual const ClassInfo& ClassType() const { return StaticClass(); }
  const std::string& ClassName() const { return ClassType().name; }
  bool InheritsFrom(const std::string& class_name) const {
    return ClassType().InheritsFrom(class_name);
  }
};

// Classes the stored stream may create, by name.
void RegisterStreamClass(const ClassInfo& info);
void UnregisterClasses();
const ClassInfo* FindClass(const std::string& name);

enum ComponentStateFlag : unsigned { csLoading = 1, csDestroying = 2, csDesigning = 4 };
enum class TOperation { opInsert, opRemove };

class EComponentError : public Exception {
  using Exception::Exception;
};

class TComponent : public TPersistent {
  FORMS_CLASS(TComponent)
public:
  TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  ~TComponent() override;

  // The constructor step: joins the owner. Overrides call the parent first.
  virtual void Create(TComponent* owner);
  // The destructor step: frees the owned components and leaves the owner.
  // Overrides do their own work, then call the parent.
  virtual void Destroy();
  // Called on each streamed component once the whole stream is read and its
  // references are fixed up; the base clears the loading state.
  virtual void Loaded();
  // Called on each streamed component after every component's Loaded.
  virtual void AfterLoaded() {}
  // A component is being removed (or inserted) among the owner's components
  // or was registered with FreeNotification. The base passes it on to the
  // owned components.
  virtual void Notification(TComponent* component, TOperation operation);
  // A nested object of the stream: the object it stands inside.
  virtual void SetParentComponent(TComponent*) {}
  virtual TComponent* GetParentComponent() const { return nullptr; }

  // The published methods the stream bound to this component's events, by
  // event name, so that writing the component keeps them.
  void RecordEventBinding(const std::string& event, const std::string& method);
  const std::map<std::string, std::string>& EventBindings() const { return event_bindings_; }

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Raises EComponentError for a name that is not an identifier or is used by
  // another component of the same owner.
  virtual void SetName(const std::string& name);
  int32_t Tag() const { return tag_; }
  void SetTag(int32_t tag) { tag_ = tag; }
  unsigned ComponentState() const { return state_; }
  bool Loading() const { return (state_ & csLoading) != 0; }
  bool Destroying() const { return (state_ & csDestroying) != 0; }
  void SetLoading(bool loading);

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  TComponent* FindComponent(const std::string& name) const;
  // component tells this one, too, when it goes.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

protected:
  // Marks this component and its owned components as being destroyed.
  void MarkDestroying();

private:
  friend void Free(TPersistent* object);
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  int32_t tag_ = 0;
  unsigned state_ = 0;
  bool destroyed_ = false;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  std::map<std::string, std::string> event_bindings_;
};

// Sets a published Boolean or text property by name; raises
// EComponentError when the object has no such property of that kind.
void SetBoolProperty(TPersistent& object, const std::string& property, bool value);
void SetStringProperty(TPersistent& object, const std::string& property, const std::string& value);

// Calls an event handler if one is set. It calls a copy: a handler may put
// another in its place (or clear it) while it runs.
template <class Handler, class... Args>
void Fire(const Handler& handler, Args&&... args) {
  Handler copy = handler;
  if (copy) copy(std::forward<Args>(args)...);
}

// Frees an object made with New (or a component's plain object); nil is fine.
void Free(TPersistent* object);

// Makes a component in two steps; a failing Create runs Destroy and frees it.
// Further arguments go to T's plain constructor.
template <class T, class... Args>
T* New(TComponent* owner, Args&&... args) {
  auto object = std::make_unique<T>(std::forward<Args>(args)...);
  try {
    object->Create(owner);
  } catch (...) {
    object->Destroy();
    throw;
  }
  return object.release();
}

// Property declaration helpers: accessors are member functions of C.
template <class C>
PropInfo BoolProp(const std::string& name, bool (C::*get)() const, void (C::*set)(bool),
                  std::optional<bool> default_value = std::nullopt) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::Bool;
  if (default_value) p.default_value = *default_value ? 1 : 0;
  p.get_ordinal = [get](const TPersistent& o) { return (static_cast<const C&>(o).*get)() ? 1 : 0; };
  p.set_ordinal = [set](TPersistent& o, int64_t v) { (static_cast<C&>(o).*set)(v != 0); };
  return p;
}

template <class C>
PropInfo IntProp(const std::string& name, int32_t (C::*get)() const, void (C::*set)(int32_t),
                 std::optional<int32_t> default_value = std::nullopt) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::Int;
  if (default_value) p.default_value = *default_value;
  p.get_ordinal = [get](const TPersistent& o) { return (static_cast<const C&>(o).*get)(); };
  p.set_ordinal = [set](TPersistent& o, int64_t v) {
    (static_cast<C&>(o).*set)(static_cast<int32_t>(v));
  };
  return p;
}

// An enumeration or set property: the value is stored as its ordinal (for
// a set, a bit mask where bit n stands for names[n]).
template <class C, class T>
PropInfo OrdinalProp(const std::string& name, PropKind kind, std::vector<std::string> names,
                     T (C::*get)() const, void (C::*set)(T), std::optional<T> default_value) {
  PropInfo p;
  p.name = name;
  p.kind = kind;
  p.names = std::move(names);
  if (default_value) p.default_value = static_cast<int64_t>(*default_value);
  p.get_ordinal = [get](const TPersistent& o) {
    return static_cast<int64_t>((static_cast<const C&>(o).*get)());
  };
  p.set_ordinal = [set](TPersistent& o, int64_t v) { (static_cast<C&>(o).*set)(static_cast<T>(v)); };
  return p;
}

template <class C, class E>
PropInfo EnumProp(const std::string& name, std::vector<std::string> names, E (C::*get)() const,
                  void (C::*set)(E), std::optional<E> default_value = std::nullopt) {
  return OrdinalProp<C, E>(name, PropKind::Enum, std::move(names), get, set, default_value);
}

template <class C, class S>
PropInfo SetOfProp(const std::string& name, std::vector<std::string> names, S (C::*get)() const,
                   void (C::*set)(S), std::optional<S> default_value = std::nullopt) {
  return OrdinalProp<C, S>(name, PropKind::Set, std::move(names), get, set, default_value);
}

template <class C>
PropInfo StringProp(const std::string& name, std::string (C::*get)() const,
                    void (C::*set)(const std::string&)) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::String;
  p.get_string = [get](const TPersistent& o) { return (static_cast<const C&>(o).*get)(); };
  p.set_string = [set](TPersistent& o, const std::string& v) { (static_cast<C&>(o).*set)(v); };
  return p;
}

// Binary data (the stream writes it as hexadecimal digits).
template <class C>
PropInfo BinaryProp(const std::string& name, const std::string& (C::*get)() const,
                    void (C::*set)(const std::string&)) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::Binary;
  p.get_bytes = [get](const TPersistent& o) { return (static_cast<const C&>(o).*get)(); };
  p.set_bytes = [set](TPersistent& o, const std::string& v) { (static_cast<C&>(o).*set)(v); };
  return p;
}

// Plain stored values: a text or Boolean member without a setter of its own.
template <class C>
PropInfo StringField(const std::string& name, std::string C::*field) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::String;
  p.get_string = [field](const TPersistent& o) { return static_cast<const C&>(o).*field; };
  p.set_string = [field](TPersistent& o, const std::string& v) { static_cast<C&>(o).*field = v; };
  return p;
}

template <class C>
PropInfo BoolField(const std::string& name, bool C::*field, bool default_value) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::Bool;
  p.default_value = default_value ? 1 : 0;
  p.get_ordinal = [field](const TPersistent& o) { return (static_cast<const C&>(o).*field) ? 1 : 0; };
  p.set_ordinal = [field](TPersistent& o, int64_t v) { static_cast<C&>(o).*field = v != 0; };
  return p;
}

template <class C, class R>
PropInfo ComponentProp(const std::string& name, R* (C::*get)() const, void (C::*set)(R*)) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::Component;
  p.value_class = &R::StaticClass;
  p.get_component = [get](const TPersistent& o) { return (static_cast<const C&>(o).*get)(); };
  p.set_component = [set](TPersistent& o, TComponent* v) {
    (static_cast<C&>(o).*set)(dynamic_cast<R*>(v));
  };
  return p;
}

template <class C, class L>
PropInfo StringsProp(const std::string& name, L& (C::*get)(), void (C::*set)(const TStringList&)) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::Strings;
  p.get_strings = [get](const TPersistent& o) -> const TStringList& {
    return (const_cast<C&>(static_cast<const C&>(o)).*get)();
  };
  p.set_strings = [set](TPersistent& o, const TStringList& v) { (static_cast<C&>(o).*set)(v); };
  return p;
}

template <class C, class R>
PropInfo ObjectProp(const std::string& name, R& (C::*get)()) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::Object;
  p.get_object = [get](TPersistent& o) -> TPersistent* { return &(static_cast<C&>(o).*get)(); };
  return p;
}

// An event property of type std::function<Sig>.
template <class C, class Sig>
PropInfo EventProp(const std::string& name, void (C::*set)(std::function<Sig>)) {
  PropInfo p;
  p.name = name;
  p.kind = PropKind::Event;
  p.set_event = [set](TPersistent& o, const std::any& handler) {
    if (!handler.has_value()) {
      (static_cast<C&>(o).*set)(nullptr);
      return true;
    }
    const auto* bound = std::any_cast<std::function<Sig>>(&handler);
    if (!bound) return false;
    (static_cast<C&>(o).*set)(*bound);
    return true;
  };
  return p;
}

// A published method of form class F with the signature of event type Sig.
template <class F, class Sig, class M>
std::pair<const std::string, std::function<std::any(TPersistent&)>> PublishedMethod(
    const std::string& name, M method) {
  return {name, [method](TPersistent& form) -> std::any {
            F* target = &static_cast<F&>(form);
            return std::function<Sig>([target, method](auto&&... args) {
              return (target->*method)(std::forward<decltype(args)>(args)...);
            });
          }};
}

}  // namespace forms
