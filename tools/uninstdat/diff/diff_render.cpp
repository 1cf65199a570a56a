// The diff rendered; see diff_render.h.
#include "tools/uninstdat/diff/diff_render.h"

#include "tools/uninstdat/families.h"

namespace uninstdat {
namespace {

const char* const kKindNames[kDiffKinds] = {"path", "key", "value", "shortcut", "group"};
const char* const kKindHeaders[kDiffKinds] = {"paths", "registry keys", "registry values", "shortcuts",
                                              "program group"};

std::string Where(const DiffDropped& d) {
  std::string where = uninst::Layout(d.field).name;
  if (d.field != DataText::kProgramGroup) where += "[" + std::to_string(d.item) + "]";
  return where;
}

struct JsonVisitor {
  Json operator()(const DiffMachine&) const { return Json(); }
  Json operator()(const DiffDropped& d) const {
    Json record = {{"record", "dropped"}, {"family", FamilyName(d.family)}, {"kind", DiffKindName(d.kind)},
                   {"where", Where(d)}};
    if (d.field != DataText::kProgramGroup) record["entry"] = d.item;
    record["text"] = d.text;
    record[d.kind == DiffKind::kKey || d.kind == DiffKind::kValue ? "key" : "path"] = d.path;
    if (d.kind == DiffKind::kValue) record["value"] = d.value;
    return record;
  }
  Json operator()(const DiffNarrowed& n) const {
    return {{"record", "narrowed"}, {"family", FamilyName(n.family)}, {"kind", "key"},
            {"where", "registryList[" + std::to_string(n.item) + "]"}, {"entry", n.item}, {"text", n.text},
            {"key", n.key}, {"below", n.below}};
  }
  Json operator()(const DiffOmitted& o) const {
    return {{"record", "omitted"}, {"family", FamilyName(o.family)}, {"kind", DiffKindName(o.kind)},
            {"count", o.count}};
  }
};

}  // namespace

const char* DiffKindName(DiffKind kind) { return kKindNames[static_cast<size_t>(kind)]; }

Json DiffJson(const DiffRecord& record) { return std::visit(JsonVisitor{}, record); }

Json DiffSummaryJson(const DiffCounts& counts, int exit) {
  Json record = {{"record", "summary"}, {"dropped", counts.total()}};
  for (size_t k = 0; k < kDiffKinds; ++k) record[kKindNames[k]] = counts.dropped[k];
  record["narrowed"] = counts.narrowed;
  record["exit"] = exit;
  return record;
}

std::string DiffText::operator()(const DiffRecord& record) {
  if (auto* m = std::get_if<DiffMachine>(&record)) {
    family_ = std::string(FamilyLongName(m->family)) + ", the uninstaller in " + m->exeFolder + ":\n";
    kind_ = -1;
    return "";
  }
  std::string text;
  auto header = [&](DiffKind kind) {
    text += family_;
    family_.clear();
    if (kind_ != static_cast<int>(kind)) text += std::string("  ") + kKindHeaders[static_cast<size_t>(kind)] + ":\n";
    kind_ = static_cast<int>(kind);
  };
  if (auto* d = std::get_if<DiffDropped>(&record)) {
    header(d->kind);
    text += "    " + Where(*d) + " \"" + d->text + "\": ";
    text += d->kind == DiffKind::kValue ? "value \"" + d->value + "\" of " + d->path : d->path;
    text += "\n";
  } else if (auto* n = std::get_if<DiffNarrowed>(&record)) {
    text += family_;
    family_.clear();
    if (kind_ != -2) text += "  notes: whole keys narrowed to keys below them (no drop):\n";
    kind_ = -2;
    text += "    registryList[" + std::to_string(n->item) + "] \"" + n->text + "\": " + n->key +
            ", which no single product owns: NEW lists " + n->below + " below it instead, and what lies beside "
            "that was never the product's to delete\n";
  } else if (auto* o = std::get_if<DiffOmitted>(&record)) {
    header(o->kind);
    text += "    and " + std::to_string(o->count) + " more (--max-per-kind 0 lists all)\n";
  }
  return text;
}

std::string DiffText::Summary(const DiffCounts& counts) const {
  size_t n = counts.total();
  if (!n) return "";
  return std::to_string(n) + (n == 1 ? " removal" : " removals") +
         " dropped (each family counted apart): OLD makes them and NEW does not, so an upgrade from OLD to NEW "
         "leaves them on the machine. Keep them in NEW's lists: the uninstaller passes over a path, key, value or "
         "shortcut that is absent\n";
}

}  // namespace uninstdat
