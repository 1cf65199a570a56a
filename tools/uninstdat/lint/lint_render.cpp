// Lint's findings rendered; see lint_render.h.
#include "tools/uninstdat/lint/lint_render.h"

namespace uninstdat {

Json FindingJson(const Finding& f) {
  Json record = {{"code", f.code()}, {"where", f.Where()}};
  if (f.text) record["text"] = *f.text;
  record["what"] = f.what;
  record["mend"] = f.mend;
  record["severity"] = f.note() ? "note" : "warning";
  record["allowed"] = f.allowed;
  return record;
}

Json OmittedJson(const Findings::Omitted& o) {
  return Json{{"code", o.rule->name}, {"omitted", o.count}, {"allowed", o.allowed}};
}

std::string FindingLine(const Finding& f) {
  std::string line = std::string(f.allowed ? "allowed  " : f.note() ? "note  " : "") + f.code() + "  " + f.Where();
  if (f.text) line += " \"" + *f.text + "\"";
  return line + ": " + f.what + ". Mend: " + f.mend + ".";
}

std::string OmittedLine(const Findings::Omitted& o) {
  return std::string(o.allowed ? "allowed  " : "") + o.rule->name + "  and " + std::to_string(o.count) +
         " more (--max-per-code 0 lists all)";
}

std::string FindingsText(const Findings& findings) {
  std::string text;
  for (const Finding& f : findings.kept()) text += FindingLine(f) + "\n";
  for (const Findings::Omitted& o : findings.omitted()) text += OmittedLine(o) + "\n";
  if (findings.total() == 0) return text + "no findings\n";
  text += std::to_string(findings.toMend()) + (findings.toMend() == 1 ? " finding" : " findings") + " to mend";
  if (findings.notes()) text += ", " + std::to_string(findings.notes()) + (findings.notes() == 1 ? " note" : " notes");
  if (findings.allowed()) text += ", " + std::to_string(findings.allowed()) + " allowed";
  return text + "\n";
}

std::string FindingsJsonLines(const Findings& findings) {
  std::string lines;
  for (const Finding& f : findings.kept()) lines += FindingJson(f).dump() + "\n";
  for (const Findings::Omitted& o : findings.omitted()) lines += OmittedJson(o).dump() + "\n";
  return lines;
}

}  // namespace uninstdat
