#pragma once
// Between a received answer and its judgement: what of the answer the judgement sees, and the
// failure a judgement that refuses it makes for the retry policy.

#include <string>

#include "net/NetResult.h"
#include "net/RangeAnswer.h"

class CHttpFile;

// The answer's status and headers; its body as far as the caller has counted it is its own.
RangeAnswer AnswerOf(const CHttpFile& file, const RangeAsk& ask);

// The failure an answer judged other than Take or Restart (or Changed) stands for: its kind,
// its status and Retry-After, and the judgement's reason.
NetResult FailureOf(const AnswerJudgement& judged, const std::string& url, const CHttpFile& file);
