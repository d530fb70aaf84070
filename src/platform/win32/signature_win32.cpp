// The maker's signature check and the package hash over CNG (bcrypt): the
// system's own ECDSA and SHA-256, no cryptography of ours.
#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/update_win32.h"

namespace win32 {
namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

struct Algorithm {
    BCRYPT_ALG_HANDLE handle = nullptr;
    explicit Algorithm(const wchar_t* id) {
        if (!succeeded(BCryptOpenAlgorithmProvider(&handle, id, nullptr, 0))) handle = nullptr;
    }
    ~Algorithm() {
        if (handle) BCryptCloseAlgorithmProvider(handle, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
};

struct Key {
    BCRYPT_KEY_HANDLE handle = nullptr;
    ~Key() {
        if (handle) BCryptDestroyKey(handle);
    }
};

}  // namespace

Win32SignatureCheck::Win32SignatureCheck(const std::array<std::uint8_t, 64>& publicKey) : key_(publicKey) {}

bool Win32SignatureCheck::verify(std::string_view message, const platform::P256Signature& signature) const {
    platform::Sha256 digest{};
    Sha256Hash hash;
    if (!hash.add(message.data(), message.size()) || !hash.finish(digest)) return false;

    // BCRYPT_ECCKEY_BLOB followed by X and Y, as BCryptImportKeyPair takes
    // a public P-256 key.
    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
    BCRYPT_ECCKEY_BLOB head{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob, &head, sizeof head);
    std::memcpy(blob + sizeof head, key_.data(), key_.size());

    Algorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!ecdsa.handle) return false;
    Key key;
    if (!succeeded(BCryptImportKeyPair(ecdsa.handle, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key.handle, blob, sizeof blob, 0)))
        return false;
    return succeeded(BCryptVerifySignature(key.handle, nullptr, const_cast<unsigned char*>(digest.data()),
                                           static_cast<ULONG>(digest.size()), const_cast<unsigned char*>(signature.data()),
                                           static_cast<ULONG>(signature.size()), 0));
}

struct Sha256Hash::State {
    Algorithm sha{BCRYPT_SHA256_ALGORITHM};
    std::vector<unsigned char> object;   // the hash object, ours (Windows 7 wants it so)
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() {
        if (hash) BCryptDestroyHash(hash);
    }
};

Sha256Hash::Sha256Hash() : state_(std::make_unique<State>()) {
    State& s = *state_;
    if (!s.sha.handle) return;
    DWORD size = 0, got = 0;
    if (!succeeded(BCryptGetProperty(s.sha.handle, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&size), sizeof size,
                                     &got, 0)))
        return;
    s.object.resize(size);
    if (!succeeded(BCryptCreateHash(s.sha.handle, &s.hash, s.object.data(), size, nullptr, 0, 0))) s.hash = nullptr;
}

Sha256Hash::~Sha256Hash() = default;

bool Sha256Hash::add(const void* data, std::size_t size) {
    if (!state_->hash) return false;
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ULONG n = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
        if (!succeeded(BCryptHashData(state_->hash, const_cast<PUCHAR>(p), n, 0))) {
            BCryptDestroyHash(state_->hash);
            state_->hash = nullptr;
            return false;
        }
        p += n;
        size -= n;
    }
    return true;
}

bool Sha256Hash::finish(platform::Sha256& out) {
    if (!state_->hash) return false;
    const bool ok = succeeded(BCryptFinishHash(state_->hash, out.data(), static_cast<ULONG>(out.size()), 0));
    BCryptDestroyHash(state_->hash);
    state_->hash = nullptr;
    return ok;
}

}  // namespace win32
