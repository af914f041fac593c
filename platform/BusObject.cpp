#include "platform/BusObject.h"

#include <gio/gio.h>

#include <algorithm>
#include <iostream>
#include <limits>
#include <stdexcept>

namespace {

// Every vended object sits at this path on its own bus connection.
const char kObjectPath[] = "/com/tesk/RootObject";

// Property-list values on the wire. Each kind has its own signature so that
// it comes back as the same kind: strings "s" (or "(ay)" for bytes that are
// not UTF-8), integers "x", reals "d", booleans "b", dates "(d)", data "ay",
// arrays "av", dictionaries "a{sv}" (or "a(ayv)" when a key is not UTF-8),
// and nothing "(y)" (D-Bus has no empty structure).
bool isUtf8(const std::string& text) { return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr); }

GVariant* bytes(const std::string& text) {
    return g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, text.data(), text.size(), 1);
}

std::string bytesOf(GVariant* v) {
    gsize n = 0;
    const char* data = static_cast<const char*>(g_variant_get_fixed_array(v, &n, 1));
    return std::string(data ? data : "", data ? n : 0);
}

GVariant* nothing() {
    GVariant* zero = g_variant_new_byte(0);
    return g_variant_new_tuple(&zero, 1);
}

GVariant* toVariant(const plist::Value& value) {
    switch (value.type()) {
    case plist::Value::Type::None:
        return nothing();
    case plist::Value::Type::String: {
        const std::string& s = value.asString();
        if (isUtf8(s)) return g_variant_new_string(s.c_str());
        GVariant* raw = bytes(s);
        return g_variant_new_tuple(&raw, 1);
    }
    case plist::Value::Type::Integer:
        return g_variant_new_int64(value.asInt());
    case plist::Value::Type::Real:
        return g_variant_new_double(value.asReal());
    case plist::Value::Type::Boolean:
        return g_variant_new_boolean(value.asBool());
    case plist::Value::Type::Date: {
        GVariant* seconds = g_variant_new_double(value.asDate().seconds);
        return g_variant_new_tuple(&seconds, 1);
    }
    case plist::Value::Type::Data: {
        const plist::Data& d = value.asData();
        return g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, d.data(), d.size(), 1);
    }
    case plist::Value::Type::Array: {
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE("av"));
        for (const plist::Value& item : value.asArray()) g_variant_builder_add(&b, "v", toVariant(item));
        return g_variant_builder_end(&b);
    }
    case plist::Value::Type::Dict: {
        bool plainKeys = true;
        for (const auto& entry : value.asDict()) plainKeys = plainKeys && isUtf8(entry.first);
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE(plainKeys ? "a{sv}" : "a(ayv)"));
        for (const auto& [key, item] : value.asDict()) {
            GVariant* pair[2] = {plainKeys ? g_variant_new_string(key.c_str()) : bytes(key),
                                 g_variant_new_variant(toVariant(item))};
            g_variant_builder_add_value(&b, plainKeys ? g_variant_new_dict_entry(pair[0], pair[1])
                                                      : g_variant_new_tuple(pair, 2));
        }
        return g_variant_builder_end(&b);
    }
    }
    return nothing();
}

// A value of a D-Bus type that carries no property-list value.
class Unreadable : public std::runtime_error {
public:
    explicit Unreadable(const std::string& type)
        : std::runtime_error("a value of D-Bus type \"" + type + "\" was sent, which holds no property-list value") {}
};

// Releases a GVariant reference when it goes out of scope.
struct Held {
    GVariant* v;
    explicit Held(GVariant* variant) : v(variant) {}
    ~Held() { g_variant_unref(v); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};

plist::Value fromVariant(GVariant* v);

// The values inside every child of a container (an array or a tuple).
plist::Array children(GVariant* container) {
    plist::Array values;
    gsize n = g_variant_n_children(container);
    values.reserve(n);
    for (gsize i = 0; i < n; ++i) {
        Held child(g_variant_get_child_value(container, i));
        values.push_back(fromVariant(child.v));
    }
    return values;
}

// Another program may send any D-Bus type, not only those toVariant writes:
// whole numbers of every width and sign (what `gdbus call` sends for "<1>"
// is an int32), object paths and signatures as strings, arrays of any one
// type, and dictionaries with string keys. Anything else is refused with
// its type named.
plist::Value fromVariant(GVariant* v) {
    switch (g_variant_classify(v)) {
    case G_VARIANT_CLASS_BYTE: return plist::Value(static_cast<int64_t>(g_variant_get_byte(v)));
    case G_VARIANT_CLASS_INT16: return plist::Value(static_cast<int64_t>(g_variant_get_int16(v)));
    case G_VARIANT_CLASS_UINT16: return plist::Value(static_cast<int64_t>(g_variant_get_uint16(v)));
    case G_VARIANT_CLASS_INT32: return plist::Value(static_cast<int64_t>(g_variant_get_int32(v)));
    case G_VARIANT_CLASS_UINT32: return plist::Value(static_cast<int64_t>(g_variant_get_uint32(v)));
    case G_VARIANT_CLASS_INT64: return plist::Value(static_cast<int64_t>(g_variant_get_int64(v)));
    case G_VARIANT_CLASS_UINT64: {
        // Past the signed range it stays a number, too large for any preference.
        const guint64 u = g_variant_get_uint64(v);
        if (u > static_cast<guint64>(std::numeric_limits<int64_t>::max())) return plist::Value(static_cast<double>(u));
        return plist::Value(static_cast<int64_t>(u));
    }
    case G_VARIANT_CLASS_DOUBLE: return plist::Value(g_variant_get_double(v));
    case G_VARIANT_CLASS_BOOLEAN: return plist::Value(g_variant_get_boolean(v) != 0);
    case G_VARIANT_CLASS_STRING:
    case G_VARIANT_CLASS_OBJECT_PATH:
    case G_VARIANT_CLASS_SIGNATURE: return plist::Value(std::string(g_variant_get_string(v, nullptr)));
    case G_VARIANT_CLASS_VARIANT: {
        Held item(g_variant_get_variant(v));
        return fromVariant(item.v);
    }
    default: break;
    }
    const std::string t = g_variant_get_type_string(v);
    if (t == "ay") {
        std::string raw = bytesOf(v);
        return plist::Value(plist::Data(raw.begin(), raw.end()));
    }
    if (t == "(y)") return plist::Value();
    if (t == "(d)" || t == "(ay)") {
        Held inner(g_variant_get_child_value(v, 0));
        return t == "(d)" ? plist::Value(plist::Date{g_variant_get_double(inner.v)}) : plist::Value(bytesOf(inner.v));
    }
    const bool stringKeys = g_variant_is_of_type(v, G_VARIANT_TYPE("a{s*}"));
    if (stringKeys || t == "a(ayv)") {
        plist::Dict dict;
        gsize n = g_variant_n_children(v);
        for (gsize i = 0; i < n; ++i) {
            Held entry(g_variant_get_child_value(v, i));
            Held key(g_variant_get_child_value(entry.v, 0));
            Held item(g_variant_get_child_value(entry.v, 1));
            dict[stringKeys ? std::string(g_variant_get_string(key.v, nullptr)) : bytesOf(key.v)] = fromVariant(item.v);
        }
        return plist::Value(std::move(dict));
    }
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_ARRAY) && !g_variant_is_of_type(v, G_VARIANT_TYPE_DICTIONARY))
        return plist::Value(children(v));
    throw Unreadable(t);
}

std::string introspection(const std::vector<BusProtocol>& protocols) {
    std::string xml = "<node>";
    for (const BusProtocol& p : protocols) {
        xml += "<interface name='" + p.name + "'>";
        for (const auto& [method, count] : p.methods) {
            xml += "<method name='" + method + "'>";
            for (int i = 0; i < count; ++i) xml += "<arg type='v' direction='in'/>";
            xml += "<arg type='v' direction='out'/></method>";
        }
        xml += "</interface>";
    }
    return xml + "</node>";
}

GDBusConnection* sharedBus(std::string& error) {
    GError* e = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &e);
    if (!bus) {
        error = e ? e->message : "no session bus";
        g_clear_error(&e);
        return nullptr;
    }
    // Losing the bus must not end the program.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    return bus;
}

RemoteCallError callError(GError* e, const std::string& what) {
    RemoteCallError::Kind kind = RemoteCallError::Kind::Failed;
    if (g_error_matches(e, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) {
        kind = RemoteCallError::Kind::Timeout;
    } else if (g_error_matches(e, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
               g_error_matches(e, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
               g_error_matches(e, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY) ||
               g_error_matches(e, G_DBUS_ERROR, G_DBUS_ERROR_DISCONNECTED) ||
               g_error_matches(e, G_IO_ERROR, G_IO_ERROR_CLOSED)) {
        kind = RemoteCallError::Kind::NoPeer;
    }
    if (g_dbus_error_is_remote_error(e)) g_dbus_error_strip_remote_error(e);
    return RemoteCallError(kind, what + ": " + e->message);
}

// What the bus's callbacks reach; freed by the bus once no call is in flight.
struct Served {
    VendedObject::Handler handler;
};

void serve(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* method,
           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* served = static_cast<Served*>(data);
    try {
        plist::Value reply = served->handler(interface, method, children(parameters));
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", toVariant(reply)));
    } catch (const std::exception& e) {
        g_dbus_method_invocation_return_dbus_error(invocation, "com.tesk.Error.Failed", e.what());
    } catch (...) {
        g_dbus_method_invocation_return_dbus_error(invocation, "com.tesk.Error.Failed", "the call failed");
    }
}

const GDBusInterfaceVTable kVTable = {serve, nullptr, nullptr, {nullptr}};

}  // namespace

struct VendedObject::Impl {
    std::vector<BusProtocol> protocols;
    Handler handler;
    GDBusConnection* connection = nullptr;
    std::vector<guint> registrations;

    void close() {
        if (!connection) return;
        for (guint id : registrations) g_dbus_connection_unregister_object(connection, id);
        registrations.clear();
        // Replies already queued go out first; closing the connection gives up its names.
        g_dbus_connection_flush_sync(connection, nullptr, nullptr);
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
        connection = nullptr;
    }
};

VendedObject::VendedObject(std::vector<BusProtocol> protocols, Handler handler) : impl_(std::make_unique<Impl>()) {
    impl_->protocols = std::move(protocols);
    impl_->handler = std::move(handler);
}

VendedObject::~VendedObject() { withdraw(); }

bool VendedObject::registerName(const std::string& name) {
    withdraw();
    if (!g_dbus_is_name(name.c_str()) || g_dbus_is_unique_name(name.c_str())) {
        std::cerr << "VendedObject: [" << name << "] is not a bus name" << std::endl;
        return false;
    }
    GError* e = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &e);
    GDBusConnection* connection = nullptr;
    if (address) {
        // A connection of its own: the object's name and path are its alone.
        connection = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &e);
        g_free(address);
    }
    if (!connection) {
        std::cerr << "VendedObject: no session bus to register [" << name << "]: " << (e ? e->message : "")
                  << std::endl;
        g_clear_error(&e);
        return false;
    }
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    impl_->connection = connection;

    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection(impl_->protocols).c_str(), &e);
    if (!node) {
        std::cerr << "VendedObject: bad protocol description: " << e->message << std::endl;
        g_clear_error(&e);
        impl_->close();
        return false;
    }
    bool ok = true;
    for (GDBusInterfaceInfo** info = node->interfaces; *info; ++info) {
        guint id = g_dbus_connection_register_object(connection, kObjectPath, *info, &kVTable,
                                                     new Served{impl_->handler},
                                                     [](gpointer data) { delete static_cast<Served*>(data); }, &e);
        if (id == 0) {
            std::cerr << "VendedObject: cannot offer [" << (*info)->name << "]: " << e->message << std::endl;
            g_clear_error(&e);
            ok = false;
            break;
        }
        impl_->registrations.push_back(id);
    }
    g_dbus_node_info_unref(node);

    guint32 answer = 0;
    if (ok) {
        // Ask without queueing: the answer is yes or no at once.
        GVariant* reply = g_dbus_connection_call_sync(
            connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
            g_variant_new("(su)", name.c_str(), 4u /* DBUS_NAME_FLAG_DO_NOT_QUEUE */), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &e);
        if (reply) {
            g_variant_get(reply, "(u)", &answer);
            g_variant_unref(reply);
        } else {
            std::cerr << "VendedObject: cannot request [" << name << "]: " << e->message << std::endl;
            g_clear_error(&e);
        }
    }
    // 1: this connection now owns the name; 4: it already did.
    if (answer != 1 && answer != 4) {
        impl_->close();
        return false;
    }
    name_ = name;
    return true;
}

void VendedObject::withdraw() {
    impl_->close();
    name_.clear();
}

std::unique_ptr<RemoteObject> RemoteObject::lookup(const std::string& name, const BusProtocol& protocol) {
    if (!g_dbus_is_name(name.c_str())) return nullptr;
    std::string error;
    GDBusConnection* bus = sharedBus(error);
    if (!bus) {
        std::cerr << "RemoteObject: no session bus to find [" << name << "]: " << error << std::endl;
        return nullptr;
    }
    GError* e = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "GetNameOwner", g_variant_new("(s)", name.c_str()),
                                                  G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &e);
    g_object_unref(bus);
    if (!reply) {
        g_clear_error(&e);  // nobody holds the name
        return nullptr;
    }
    const gchar* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    std::unique_ptr<RemoteObject> object(new RemoteObject(name, owner, protocol));
    g_variant_unref(reply);
    return object;
}

namespace {

// Whether a holder's description (the reply to Introspect) offers `interface`.
bool describesInterface(GVariant* reply, const std::string& interface) {
    Held held(reply);
    const gchar* xml = nullptr;
    g_variant_get(reply, "(&s)", &xml);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml, nullptr);
    if (!node) return false;
    const bool found = g_dbus_node_info_lookup_interface(node, interface.c_str()) != nullptr;
    g_dbus_node_info_unref(node);
    return found;
}

// One name's question in a round asked of several names at once.
struct OfferQuestion {
    const std::string* interface;
    size_t* unanswered;  // the round's count of questions still open
    bool offers = false;
};

void offerAnswered(GObject* bus, GAsyncResult* result, gpointer data) {
    auto* question = static_cast<OfferQuestion*>(data);
    GError* e = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &e);
    g_clear_error(&e);
    if (reply) question->offers = describesInterface(reply, *question->interface);
    --*question->unanswered;
}

}  // namespace

std::string RemoteObject::firstOffering(const std::vector<std::string>& names, const BusProtocol& protocol,
                                        int eachMs) {
    std::string error;
    GDBusConnection* bus = sharedBus(error);
    if (!bus) return "";
    // Every name is asked at once, each with its own time-out, so holders that
    // never answer cannot use up the time of a live copy behind them, and the
    // whole look ends within about one time-out. An unheld name is answered by
    // the bus at once; nothing is started for it.
    size_t unanswered = 0;
    std::vector<OfferQuestion> questions(names.size(), OfferQuestion{&protocol.name, &unanswered});
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (!g_dbus_is_name(name.c_str()) || g_dbus_is_unique_name(name.c_str())) continue;
        ++unanswered;
        g_dbus_connection_call(bus, name.c_str(), kObjectPath, "org.freedesktop.DBus.Introspectable", "Introspect",
                               nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, eachMs, nullptr,
                               offerAnswered, &questions[i]);
    }
    // Each call ends in its callback, at the latest when its time-out passes.
    while (unanswered > 0) g_main_context_iteration(context, TRUE);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    g_object_unref(bus);
    for (size_t i = 0; i < names.size(); ++i) {
        if (questions[i].offers) return names[i];
    }
    return "";
}

plist::Value RemoteObject::call(const std::string& method, const plist::Array& args, int timeoutMs) {
    std::string what = name_ + " " + method;
    bool known = false;
    for (const auto& [m, count] : protocol_.methods) known = known || (m == method && count == static_cast<int>(args.size()));
    if (!known) {
        throw RemoteCallError(RemoteCallError::Kind::Failed,
                              what + ": no such method with " + std::to_string(args.size()) + " arguments in " +
                                  protocol_.name);
    }
    std::string error;
    GDBusConnection* bus = sharedBus(error);
    if (!bus) throw RemoteCallError(RemoteCallError::Kind::NoBus, what + ": " + error);

    GVariantBuilder params;
    g_variant_builder_init(&params, G_VARIANT_TYPE_TUPLE);
    for (const plist::Value& arg : args) g_variant_builder_add(&params, "v", toVariant(arg));
    GError* e = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, owner_.c_str(), kObjectPath, protocol_.name.c_str(),
                                                  method.c_str(), g_variant_builder_end(&params), G_VARIANT_TYPE("(v)"),
                                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &e);
    g_object_unref(bus);
    if (!reply) {
        RemoteCallError failure = callError(e, what);
        g_clear_error(&e);
        throw failure;
    }
    Held held(reply);
    try {
        plist::Array result = children(reply);
        return result.empty() ? plist::Value() : result[0];
    } catch (const Unreadable& e) {
        throw RemoteCallError(RemoteCallError::Kind::Failed, what + ": " + e.what());
    }
}
