#include "platform/keyring.h"

#include <libsecret/secret.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <mutex>

namespace zevra {
namespace {

// Items are matched by their two attributes only, whatever schema name wrote them.
const SecretSchema* tokenSchema() {
    static const SecretSchema schema = {
        "com.kelmor.zevra.GenericPassword",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &schema;
}

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

struct HashTableDeleter {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using Attributes = std::unique_ptr<GHashTable, HashTableDeleter>;

struct ListDeleter {
    void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};
using ItemList = std::unique_ptr<GList, ListDeleter>;

struct ValueDeleter {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};

Attributes attributesFor(const std::string& service, const std::string& account) {
    Attributes table(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free));
    g_hash_table_insert(table.get(), g_strdup("service"), g_strdup(service.c_str()));
    g_hash_table_insert(table.get(), g_strdup("account"), g_strdup(account.c_str()));
    return table;
}

// Every sync libsecret call makes a main context of its own, and GLib aborts the process when
// it cannot get the descriptors for one. With the descriptor table (nearly) full the keyring is
// treated as unreachable instead; each call checks just before it runs.
bool descriptorsToSpare() {
    std::array<int, 4> spare{};
    spare.fill(-1);
    bool available = true;
    for (int& fd : spare) {
        fd = ::eventfd(0, EFD_CLOEXEC);
        available = available && fd >= 0;
    }
    for (const int fd : spare) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return available;
}

// The service proxy, or none when no Secret Service answers on the session bus.
GObjectPtr<SecretService> connect() {
    if (!descriptorsToSpare()) {
        return nullptr;
    }
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    g_clear_error(&error);
    return GObjectPtr<SecretService>(service);
}

// Writing goes to the default collection only while it exists and is unlocked: creating or
// unlocking it would put a prompt in front of the user.
bool defaultCollectionIsOpen(SecretService* service) {
    if (!descriptorsToSpare()) {
        return false;
    }
    GError* error = nullptr;
    GObjectPtr<SecretCollection> collection(secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error));
    g_clear_error(&error);
    return collection != nullptr && !secret_collection_get_locked(collection.get());
}

class SecretServiceKeyring final : public Keyring {
public:
    // GLib makes its main contexts (the default one, its worker's, the D-Bus thread's) on first
    // use and aborts when no descriptor is left for them; make them now, while the process is
    // starting, rather than on a later keyring call. Connecting gives up at once without a bus.
    SecretServiceKeyring() {
        static_cast<void>(g_main_context_default());
        g_type_ensure(G_TYPE_TASK);
        if (descriptorsToSpare()) {
            GError* error = nullptr;
            // Held for the process's life: the shared connection closes with its last reference.
            bus_.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error));
            g_clear_error(&error);
        }
    }

    std::optional<std::string> find(const std::string& service,
                                    const std::string& account) override {
        const std::lock_guard serial(calls_);
        const auto secrets = connect();
        if (secrets == nullptr || !descriptorsToSpare()) {
            return std::nullopt;
        }
        const auto attributes = attributesFor(service, account);
        GError* error = nullptr;
        // No SECRET_SEARCH_UNLOCK: locked items are found without their secret, never prompted.
        const ItemList items(
            secret_service_search_sync(secrets.get(), tokenSchema(), attributes.get(),
                                       SECRET_SEARCH_LOAD_SECRETS, nullptr, &error));
        g_clear_error(&error);
        if (items == nullptr) {
            return std::nullopt;
        }
        auto* item = static_cast<SecretItem*>(items->data);
        const std::unique_ptr<SecretValue, ValueDeleter> value(secret_item_get_secret(item));
        if (value == nullptr) {
            return std::nullopt;
        }
        gsize length = 0;
        const gchar* bytes = secret_value_get(value.get(), &length);
        if (bytes == nullptr) {
            return std::nullopt;
        }
        return std::string(bytes, length);
    }

    bool add(const std::string& service, const std::string& account,
             const std::string& data) override {
        const std::lock_guard serial(calls_);
        const auto secrets = connect();
        if (secrets == nullptr || !defaultCollectionIsOpen(secrets.get()) ||
            !descriptorsToSpare()) {
            return false;
        }
        const auto attributes = attributesFor(service, account);
        const std::unique_ptr<SecretValue, ValueDeleter> value(
            secret_value_new(data.data(), static_cast<gssize>(data.size()), "text/plain"));
        const std::string label = service + " (" + account + ")";
        GError* error = nullptr;
        const gboolean stored = secret_service_store_sync(
            secrets.get(), tokenSchema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
            label.c_str(), value.get(), nullptr, &error);
        g_clear_error(&error);
        return stored == TRUE;
    }

    void remove(const std::string& service, const std::string& account) override {
        const std::lock_guard serial(calls_);
        const auto secrets = connect();
        if (secrets == nullptr || !defaultCollectionIsOpen(secrets.get()) ||
            !descriptorsToSpare()) {
            return;
        }
        const auto attributes = attributesFor(service, account);
        GError* error = nullptr;
        secret_service_clear_sync(secrets.get(), tokenSchema(), attributes.get(), nullptr, &error);
        g_clear_error(&error);
    }

private:
    GObjectPtr<GDBusConnection> bus_;
    // libsecret's blocking calls must not overlap: run at once from several threads they
    // complete each other's tasks, and GLib reports tasks returned twice ("ever_returned").
    std::mutex calls_;
};

} // namespace

Keyring& processKeyring() {
    static SecretServiceKeyring keyring;
    return keyring;
}

} // namespace zevra
