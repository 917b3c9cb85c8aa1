#pragma once
// The component model: objects that answer their class name and whether they or an ancestor carry
// a given class name, whose published properties can be read and written by name, and components
// that own others, find them by name, notify each other when freed and learn when loading ends.
#include "core/AnsiString.h"

#include <cstdint>
#include <functional>
#include <variant>
#include <vector>

class TPersistent;
class TComponent;

// A published property's value: nothing, a flag, a whole number, a number, text or an object.
using PropValue = std::variant<std::monostate, bool, int64_t, double, AnsiString, TPersistent*>;

struct PropInfo {
    AnsiString name;
    std::function<PropValue(const TPersistent&)> get;
    std::function<void(TPersistent&, const PropValue&)> set;  // empty: read-only
};

// A class's name, its parent's description and its published properties.
class ClassInfo {
public:
    ClassInfo(const char* name, const ClassInfo* parent) : name_(name), parent_(parent) {}
    const char* Name() const { return name_; }
    const ClassInfo* Parent() const { return parent_; }
    // Does this class or an ancestor have the name (ASCII case ignored)?
    bool InheritsFrom(std::string_view className) const;
    // The property of that name here or in an ancestor (ASCII case ignored); null when none.
    const PropInfo* FindProperty(std::string_view name) const;
    void AddProperty(PropInfo info) { props_.push_back(std::move(info)); }
    // This class's own published properties (not its ancestors'), in the order they were added.
    const std::vector<PropInfo>& Properties() const { return props_; }

    // Typed shorthand for a property backed by a getter and a setter of the class.
    template <typename C, typename V>
    void Add(const char* name, V (C::*getter)() const, void (C::*setter)(V) = nullptr);
    template <typename C, typename V>
    void Add(const char* name, const V& (C::*getter)() const, void (C::*setter)(const V&) = nullptr);
    // A set-valued property, read and written as its stored value (the set's Bits()).
    template <typename C, typename S>
    void AddSet(const char* name, S (C::*getter)() const, void (C::*setter)(S));

private:
    const char* name_;
    const ClassInfo* parent_;
    std::vector<PropInfo> props_;
};

// Declares a class's description. With _PROPS the class defines `static void DefineProperties(ClassInfo&)`.
#define MORVANE_CLASS(Self, Parent)                                                                         \
public:                                                                                                     \
    static const ::ClassInfo& StaticClass() {                                                               \
        static const ::ClassInfo info(#Self, &Parent::StaticClass());                                       \
        return info;                                                                                        \
    }                                                                                                       \
    const ::ClassInfo& Class() const override { return StaticClass(); }

#define MORVANE_CLASS_PROPS(Self, Parent)                                                                   \
public:                                                                                                     \
    static void DefineProperties(::ClassInfo& info);                                                        \
    static const ::ClassInfo& StaticClass() {                                                               \
        static const ::ClassInfo info = [] {                                                                \
            ::ClassInfo c(#Self, &Parent::StaticClass());                                                   \
            Self::DefineProperties(c);                                                                      \
            return c;                                                                                       \
        }();                                                                                                \
        return info;                                                                                        \
    }                                                                                                       \
    const ::ClassInfo& Class() const override { return StaticClass(); }

class TPersistent {
public:
    virtual ~TPersistent() = default;
    static const ClassInfo& StaticClass();
    virtual const ClassInfo& Class() const { return StaticClass(); }
    AnsiString ClassName() const { return Class().Name(); }
    bool InheritsFrom(std::string_view className) const { return Class().InheritsFrom(className); }

    bool HasProperty(std::string_view name) const { return Class().FindProperty(name) != nullptr; }
    // Reading an unknown property gives nothing; writing one, or a read-only one, does nothing and
    // answers false.
    PropValue GetProperty(std::string_view name) const;
    bool SetProperty(std::string_view name, const PropValue& value);
};

enum class Operation { Insert, Remove };

class TComponent : public TPersistent {
    MORVANE_CLASS(TComponent, TPersistent)
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const AnsiString& Name() const { return name_; }
    void SetName(const AnsiString& name);
    TComponent* Owner() const { return owner_; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(index); }
    // An owned component of that name (ASCII case ignored), or null.
    TComponent* FindComponent(std::string_view name) const;

    // Asks to be told (Notification with Remove) when `other` is freed; works across owners.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

    // Loading: set while the stored description is being applied; Loaded() ends it.
    bool Loading() const { return loading_; }
    void SetLoading(bool loading) { loading_ = loading; }
    bool Destroying() const { return destroying_; }
    virtual void Loaded();

    // Frees every owned component, newest first. A destructor calls it first when its owned
    // components must go while the rest of it is still whole.
    void DestroyComponents();

protected:
    // Frees some of the owned components together: they leave the owned list in one pass, then each
    // is freed, its removal told to this component and to the owned ones that stay. None of them
    // may free another. Freeing n costs O(n x staying), not a pass over the whole list for each.
    void FreeComponents(const std::vector<TComponent*>& owned);
    // Told when a component this one owns is inserted or removed, or one it asked about is freed.
    // The default passes an owned component's removal on to every owned component.
    virtual void Notification(TComponent* component, Operation operation);
    // Marks the component as being destroyed (and its owned components).
    void Destroying(bool value) { destroying_ = value; }

private:
    void insertComponent(TComponent* c);
    void removeComponent(TComponent* c);

    AnsiString name_;
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    bool loading_ = false;
    bool destroying_ = false;
};

// ---- inline templates ----

template <typename T> PropValue toPropValue(const T& v) {
    if constexpr (std::is_same_v<T, bool>)
        return PropValue(v);
    else if constexpr (std::is_enum_v<T>)
        return PropValue(static_cast<int64_t>(v));
    else if constexpr (std::is_integral_v<T>)
        return PropValue(static_cast<int64_t>(v));
    else if constexpr (std::is_floating_point_v<T>)
        return PropValue(static_cast<double>(v));
    else if constexpr (std::is_convertible_v<T, AnsiString>)
        return PropValue(AnsiString(v));
    else if constexpr (std::is_pointer_v<T>)
        return PropValue(static_cast<TPersistent*>(v));
    else
        return PropValue(const_cast<TPersistent*>(static_cast<const TPersistent*>(&v)));
}

template <typename T> bool fromPropValue(const PropValue& p, T& out) {
    if constexpr (std::is_same_v<T, bool>) {
        if (auto b = std::get_if<bool>(&p)) return out = *b, true;
        if (auto i = std::get_if<int64_t>(&p)) return out = *i != 0, true;
    } else if constexpr (std::is_enum_v<T> || std::is_integral_v<T>) {
        if (auto i = std::get_if<int64_t>(&p)) return out = static_cast<T>(*i), true;
        if (auto b = std::get_if<bool>(&p)) return out = static_cast<T>(*b), true;
    } else if constexpr (std::is_floating_point_v<T>) {
        if (auto d = std::get_if<double>(&p)) return out = static_cast<T>(*d), true;
        if (auto i = std::get_if<int64_t>(&p)) return out = static_cast<T>(*i), true;
    } else if constexpr (std::is_same_v<T, AnsiString>) {
        if (auto s = std::get_if<AnsiString>(&p)) return out = *s, true;
    } else if constexpr (std::is_pointer_v<T>) {
        if (std::holds_alternative<std::monostate>(p)) return out = nullptr, true;
        if (auto o = std::get_if<TPersistent*>(&p)) {
            if (!*o) return out = nullptr, true;
            if (auto c = dynamic_cast<T>(*o)) return out = c, true;
        }
    }
    return false;
}

template <typename C, typename V>
void ClassInfo::Add(const char* name, V (C::*getter)() const, void (C::*setter)(V)) {
    PropInfo p{name, [getter](const TPersistent& o) { return toPropValue((static_cast<const C&>(o).*getter)()); }, {}};
    if (setter)
        p.set = [setter](TPersistent& o, const PropValue& v) {
            V value{};
            if (fromPropValue(v, value))
                (static_cast<C&>(o).*setter)(value);
        };
    AddProperty(std::move(p));
}

template <typename C, typename V>
void ClassInfo::Add(const char* name, const V& (C::*getter)() const, void (C::*setter)(const V&)) {
    PropInfo p{name, [getter](const TPersistent& o) { return toPropValue((static_cast<const C&>(o).*getter)()); }, {}};
    if (setter) {
        if constexpr (std::is_same_v<V, AnsiString>)
            p.set = [setter](TPersistent& o, const PropValue& v) {
                AnsiString value;
                if (fromPropValue(v, value))
                    (static_cast<C&>(o).*setter)(value);
            };
        else
            p.set = [setter](TPersistent& o, const PropValue& v) {
                // An object property takes an object of its class (a list is assigned, not replaced).
                if (auto obj = std::get_if<TPersistent*>(&v))
                    if (auto typed = dynamic_cast<const V*>(*obj))
                        (static_cast<C&>(o).*setter)(*typed);
            };
    }
    AddProperty(std::move(p));
}

template <typename C, typename S>
void ClassInfo::AddSet(const char* name, S (C::*getter)() const, void (C::*setter)(S)) {
    PropInfo p{name, [getter](const TPersistent& o) { return PropValue(int64_t((static_cast<const C&>(o).*getter)().Bits())); },
               [setter](TPersistent& o, const PropValue& v) {
                   if (auto i = std::get_if<int64_t>(&v))
                       (static_cast<C&>(o).*setter)(S::FromBits(uint32_t(*i)));
               }};
    AddProperty(std::move(p));
}
