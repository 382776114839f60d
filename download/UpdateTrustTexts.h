#pragma once
// What the user is shown when the update information is refused. The log names the cause;
// the user only learns whether waiting or fixing the clock helps.

// Any refusal but an expired reply: not signed, a signature that does not verify, too large,
// malformed, another channel, an older version than one accepted before.
inline constexpr char kUpdateCheckFailedText[] = "更新信息校验失败，请稍后重试！";
// A validly signed reply whose "expires" has passed: most often the machine's clock is wrong.
inline constexpr char kUpdateExpiredText[] = "更新信息已过期，请检查系统时间后重试！";
