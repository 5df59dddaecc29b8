#pragma once
// The one place that includes PCRE2. Every handle it gives out lives in a unique_ptr whose
// deleter frees it, so no path (an exception part-way through building a rule included)
// leaks one, and a handle PCRE2 could not allocate is std::bad_alloc, never a null pointer.

#ifndef PCRE2_CODE_UNIT_WIDTH
#define PCRE2_CODE_UNIT_WIDTH 16
#endif
#include <pcre2.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string_view>

namespace morvelle::text::detail::pcre {

struct Free {
  void operator()(pcre2_code_16* p) const noexcept { pcre2_code_free_16(p); }
  void operator()(pcre2_match_data_16* p) const noexcept { pcre2_match_data_free_16(p); }
  void operator()(pcre2_compile_context_16* p) const noexcept { pcre2_compile_context_free_16(p); }
  void operator()(pcre2_match_context_16* p) const noexcept { pcre2_match_context_free_16(p); }
  void operator()(pcre2_jit_stack_16* p) const noexcept { pcre2_jit_stack_free_16(p); }
};

using Code = std::unique_ptr<pcre2_code_16, Free>;
using MatchData = std::unique_ptr<pcre2_match_data_16, Free>;
using CompileContext = std::unique_ptr<pcre2_compile_context_16, Free>;
using MatchContext = std::unique_ptr<pcre2_match_context_16, Free>;
using JitStack = std::unique_ptr<pcre2_jit_stack_16, Free>;

template <typename Handle>
Handle owned(typename Handle::pointer raw) {
  if (!raw) throw std::bad_alloc();
  return Handle(raw);
}

inline MatchData matchDataFor(const pcre2_code_16* code) {
  return owned<MatchData>(pcre2_match_data_create_from_pattern_16(code, nullptr));
}

inline PCRE2_SPTR16 units(std::u16string_view text) {
  return reinterpret_cast<PCRE2_SPTR16>(text.data());
}

// One match attempt, through the JIT code when there is one.
inline int match(const pcre2_code_16* code, bool jit, std::u16string_view subject,
                 std::size_t offset, std::uint32_t options, pcre2_match_data_16* data,
                 pcre2_match_context_16* context) {
  return jit ? pcre2_jit_match_16(code, units(subject), subject.size(), offset, options, data,
                                  context)
             : pcre2_match_16(code, units(subject), subject.size(), offset, options, data, context);
}

}  // namespace morvelle::text::detail::pcre
