#pragma once
// A key pair made at test run time, signing update replies as a publisher would.

#include <sodium.h>

#include <string>
#include <string_view>

#include "download/UpdateKeys.h"
#include "download/UpdateSignature.h"
#include "download/UpdateSignatureHeader.h"

class TestSigner {
  public:
    explicit TestSigner(std::string id) : m_id(std::move(id)) {
        if (sodium_init() < 0) std::abort();
        crypto_sign_keypair(m_public.publicKey.data(), m_secret);
        m_public.id = m_id;
        m_public.usable = true;
    }

    const UpdateKey& PublicKey() const { return m_public; }

    // The header pair "ID SIG" over body.
    std::string Pair(std::string_view body) const { return FormatSignaturePair(Sign(body, m_id)); }

    // A signature over body labelled with id (another key's, to forge a pair).
    SignaturePair Sign(std::string_view body, const std::string& id) const {
        SignaturePair pair;
        pair.keyId = id;
        const std::string message = SignedUpdateBytes(body);
        crypto_sign_detached(pair.signature.data(), nullptr,
                             reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                             m_secret);
        return pair;
    }

  private:
    std::string m_id;
    UpdateKey m_public;
    unsigned char m_secret[crypto_sign_SECRETKEYBYTES];
};
