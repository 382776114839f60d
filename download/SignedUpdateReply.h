#pragma once
// The one check a signed program makes on the update-information reply before believing any
// of it: size, then signature, then document. Pure: no network, no clock, no files; the
// caller hands in what it received and what it knows.
//
//   const UpdateReplyVerdict verdict =
//       VerifyUpdateReply(body, signatureHeader, {channel, time(nullptr),
//                                                 ReadAcceptedVersion(appTmpPath)});
//   if (verdict.kind != UpdateReplyKind::Ok) { log verdict.logText; show UserTextFor(kind) }

#include <optional>
#include <span>
#include <string_view>

#include "download/UpdateKeys.h"
#include "download/UpdateReplyDocument.h"
#include "download/UpdateReplyLimits.h"
#include "download/UpdateReplyVerdict.h"

// Checks a reply as received: body byte for byte (nothing decoded, trimmed or cut at a NUL),
// and the value of its X-Update-Signature header, nothing when the header was missing.
//   TooLarge      body longer than kMaxUpdateReplyBytes (checked before anything else)
//   NotSigned     no header
//   BadSignature  no pair of the header verifies with the key of its ID among keys
//   then what CheckUpdateDocument() decides about exactly the verified bytes.
// keyId of the accepted update names the key that verified.
UpdateReplyVerdict VerifyUpdateReply(std::string_view body,
                                     std::optional<std::string_view> signatureHeader,
                                     const UpdateReplyExpectation& expect,
                                     std::span<const UpdateKey> keys = CompiledUpdateKeys());
