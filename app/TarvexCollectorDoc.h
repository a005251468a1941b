#pragma once

// The collector's document. The collector keeps everything of a collection run in the view and
// in the files the operator opens, so the document holds, reads and writes nothing; it stands for
// the one document of the single-document window.
class CTarvexCollectorDoc {
public:
  CTarvexCollectorDoc() = default;
  CTarvexCollectorDoc(const CTarvexCollectorDoc &) = delete;
  CTarvexCollectorDoc &operator=(const CTarvexCollectorDoc &) = delete;
};
