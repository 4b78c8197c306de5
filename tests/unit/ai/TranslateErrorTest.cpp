// The error of every AI action: construction, payloads, equality and throwing.
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/ai/TranslateError.h"

namespace veska {
namespace {

using Kind = TranslateError::Kind;

std::vector<TranslateError> everyCase() {
    return {
        TranslateError::noKey(AISource::gemini),
        TranslateError::badKey(AISource::deepseek),
        TranslateError::apiFailed(AISource::gemini, "500 · boom"),
        TranslateError::needLogin(AISource::chatgpt),
        TranslateError::signedOut(),
        TranslateError::unreachable(),
        TranslateError::tooLong(),
        TranslateError::failed(),
    };
}

TEST(TranslateError, EachCaseCarriesItsKindAndPayload) {
    auto errors = everyCase();
    const std::vector<std::tuple<Kind, std::optional<AISource>, std::string>> expected{
        {Kind::noKey, AISource::gemini, ""},
        {Kind::badKey, AISource::deepseek, ""},
        {Kind::apiFailed, AISource::gemini, "500 · boom"},
        {Kind::needLogin, AISource::chatgpt, ""},
        {Kind::signedOut, std::nullopt, ""},
        {Kind::unreachable, std::nullopt, ""},
        {Kind::tooLong, std::nullopt, ""},
        {Kind::failed, std::nullopt, ""},
    };
    ASSERT_EQ(errors.size(), expected.size());
    for (std::size_t i = 0; i < errors.size(); ++i) {
        EXPECT_EQ(errors[i].kind(), std::get<0>(expected[i])) << i;
        EXPECT_EQ(errors[i].source(), std::get<1>(expected[i])) << i;
        EXPECT_EQ(errors[i].detail(), std::get<2>(expected[i])) << i;
    }
}

TEST(TranslateError, EqualOnlyWithSameCaseSourceAndDetail) {
    auto errors = everyCase();
    for (std::size_t i = 0; i < errors.size(); ++i) {
        for (std::size_t j = 0; j < errors.size(); ++j) {
            EXPECT_EQ(errors[i] == errors[j], i == j) << i << " vs " << j;
        }
    }
    EXPECT_NE(TranslateError::noKey(AISource::gemini), TranslateError::noKey(AISource::deepseek));
    EXPECT_NE(TranslateError::apiFailed(AISource::gemini, "429 · a"),
              TranslateError::apiFailed(AISource::gemini, "429 · b"));
    EXPECT_EQ(TranslateError::apiFailed(AISource::grok, "x"), TranslateError::apiFailed(AISource::grok, "x"));
}

TEST(TranslateError, ThrownAndCaughtAsItselfOrAsStdException) {
    try {
        throw TranslateError::needLogin(AISource::grok);
    } catch (const std::exception& caught) {
        const auto* error = dynamic_cast<const TranslateError*>(&caught);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(*error, TranslateError::needLogin(AISource::grok));
    }
    EXPECT_THROW(throw TranslateError::tooLong(), TranslateError);
}

TEST(TranslateError, WhatNamesTheCaseButNeverTheServiceMessage) {
    auto error = TranslateError::apiFailed(AISource::deepseek, "401 · key sk-secret-123 invalid");
    std::string what = error.what();
    EXPECT_EQ(what.find("sk-secret-123"), std::string::npos) << what;
    EXPECT_NE(what.find("apiFailed"), std::string::npos) << what;
    EXPECT_NE(what.find("deepseek"), std::string::npos) << what;
}

}  // namespace
}  // namespace veska
