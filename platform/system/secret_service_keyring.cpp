#include "platform/keyring.h"

#include <libsecret/secret.h>

#include <memory>

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

// The service proxy, or none when no Secret Service answers on the session bus.
GObjectPtr<SecretService> connect() {
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    g_clear_error(&error);
    return GObjectPtr<SecretService>(service);
}

// Writing goes to the default collection only while it exists and is unlocked: creating or
// unlocking it would put a prompt in front of the user.
bool defaultCollectionIsOpen(SecretService* service) {
    GError* error = nullptr;
    GObjectPtr<SecretCollection> collection(secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error));
    g_clear_error(&error);
    return collection != nullptr && !secret_collection_get_locked(collection.get());
}

class SecretServiceKeyring final : public Keyring {
public:
    std::optional<std::string> find(const std::string& service,
                                    const std::string& account) override {
        const auto secrets = connect();
        if (secrets == nullptr) {
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
        const auto secrets = connect();
        if (secrets == nullptr || !defaultCollectionIsOpen(secrets.get())) {
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
        const auto secrets = connect();
        if (secrets == nullptr || !defaultCollectionIsOpen(secrets.get())) {
            return;
        }
        const auto attributes = attributesFor(service, account);
        GError* error = nullptr;
        secret_service_clear_sync(secrets.get(), tokenSchema(), attributes.get(), nullptr, &error);
        g_clear_error(&error);
    }
};

} // namespace

Keyring& processKeyring() {
    static SecretServiceKeyring keyring;
    return keyring;
}

} // namespace zevra
