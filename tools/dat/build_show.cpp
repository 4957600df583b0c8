// Compile, then check with the source map.
#include "tools/dat/build_show.h"

namespace tools {
namespace {

const Diagnostic* first_of(const Diagnostics& diagnostics, Severity severity) {
  for (const Diagnostic& diagnostic : diagnostics.items)
    if (diagnostic.severity == severity) return &diagnostic;
  return nullptr;
}

}  // namespace

const Diagnostic* BuiltShow::first_error() const {
  return first_of(diagnostics, Severity::ERROR);
}

const Diagnostic* BuiltShow::first_warning() const {
  return first_of(diagnostics, Severity::WARNING);
}

BuiltShow build_show(const std::string& source, const std::string& name, CheckPass pass) {
  CompiledShow compiled = compile_show(source);
  BuiltShow built;
  built.diagnostics = std::move(compiled.diagnostics);
  built.files = std::move(compiled.files);
  built.source_map = std::move(compiled.source_map);
  if (built.diagnostics.has_errors()) return built;
  // The check models the whole script even when its findings are not wanted: the summary (the
  // show's length, its waits) comes from it.
  CheckResult checked = check_show(read_data_file(compiled.data_file, name), &built.source_map);
  if (pass == CheckPass::RUN) built.diagnostics.append(checked.diagnostics);
  built.summary = std::move(checked.summary);
  built.data_file = std::move(compiled.data_file);
  return built;
}

}  // namespace tools
