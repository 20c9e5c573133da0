#include "compact/file_data_list.h"

namespace fotolume::compact {

std::unique_ptr<FileDataHead> CreateList() { return std::make_unique<FileDataHead>(); }

void AddNode(FileDataHead& head, const FileData& node) {
    head.last->next = std::make_unique<FileData>();
    head.last = head.last->next.get();
    FileData& added = *head.last;
    added.file = node.file;
    added.name = node.name;
    added.onFrame = node.onFrame;
    added.sequence = node.sequence;
    added.size = node.size;
    ++head.count;
}

FileData* GetNode(FileDataHead& head, int i) {
    FileData* node = &head.sentinel;
    for (int k = 0; k < i && node->next; ++k) node = node->next.get();
    return node;
}

bool DelNode(FileDataHead& head, int i) {
    if (head.count <= 0) return false;
    if (i < 1 || i > head.count) i = head.count;
    FileData* before = GetNode(head, i - 1);
    std::unique_ptr<FileData> gone = std::move(before->next);
    before->next = std::move(gone->next);
    if (!before->next) head.last = before;
    --head.count;
    return true;
}

void FreeList(std::unique_ptr<FileDataHead>& head) {
    if (!head) return;
    // Unlink one by one so that a long list does not recurse through the destructors.
    std::unique_ptr<FileData> node = std::move(head->sentinel.next);
    while (node) node = std::move(node->next);
    head.reset();
}

}  // namespace fotolume::compact
