#include "runtime/List.h"

#include "runtime/Errors.h"
#include "runtime/Program.h"
#include "runtime/ScopeExit.h"

Ref<TLink> TLink::NextLink() const { return _succ && !_succ->IsSentinel() ? _succ : nullptr; }
Ref<TLink> TLink::PrevLink() const { return _pred && !_pred->IsSentinel() ? _pred : nullptr; }

int32_t TLink::Remove() {
    Ref<TLink> self(this);  // the neighbours may hold the last references to us
    _value = nullptr;
    if (_succ) _succ->_pred = _pred;
    if (_pred) _pred->_succ = _succ;
    return 0;
}

Ref<Object> TListEnum::NextObject() {
    Ref<Object> value = _link->_value;
    _link = Ref<TLink>(_link->_succ);
    return value;
}

int32_t CompareElements(const Ref<Object>& a, const Ref<Object>& b) { return CompareObjects(a.Get(), b.Get()); }

TList::TList() : _head(New<TLink>()) {
    _head->_succ = _head;
    _head->_pred = _head;
    _head->_value = _head;
}

TList::~TList() {
    Clear();
    // Break the sentinel's references to itself so that it can go.
    _head->_value = nullptr;
    _head->_succ = nullptr;
    _head->_pred = nullptr;
}

int32_t TList::Clear() {
    while (!(_head->_succ == _head)) Ref<TLink>(_head->_succ)->Remove();
    return 0;
}

bool TList::IsEmpty() const { return _head->_succ == _head; }

bool TList::Contains(const Ref<Object>& value) const { return !FindLink(value).IsNull(); }

Ref<TLink> TList::AddFirst(const Ref<Object>& value) { return InsertAfterLink(value, _head); }
Ref<TLink> TList::AddLast(const Ref<Object>& value) { return InsertBeforeLink(value, _head); }

Ref<Object> TList::First() const { return IsEmpty() ? nullptr : _head->_succ->_value; }
Ref<Object> TList::Last() const { return IsEmpty() ? nullptr : _head->_pred->_value; }

Ref<Object> TList::RemoveFirst() {
    if (IsEmpty()) return nullptr;
    Ref<TLink> link = _head->_succ;
    Ref<Object> value = link->_value;
    link->Remove();
    return value;
}

Ref<Object> TList::RemoveLast() {
    if (IsEmpty()) return nullptr;
    Ref<TLink> link = _head->_pred;
    Ref<Object> value = link->_value;
    link->Remove();
    return value;
}

Ref<TLink> TList::FirstLink() const { return IsEmpty() ? nullptr : _head->_succ; }
Ref<TLink> TList::LastLink() const { return IsEmpty() ? nullptr : _head->_pred; }

Ref<TLink> TList::InsertBeforeLink(const Ref<Object>& value, const Ref<TLink>& link) {
    Ref<TLink> l = New<TLink>();
    l->_value = value;
    l->_succ = link;
    l->_pred = link->_pred;
    link->_pred->_succ = l;
    link->_pred = l;
    return l;
}

Ref<TLink> TList::InsertAfterLink(const Ref<Object>& value, const Ref<TLink>& link) {
    Ref<TLink> l = New<TLink>();
    l->_value = value;
    l->_pred = link;
    l->_succ = link->_succ;
    link->_succ->_pred = l;
    link->_succ = l;
    return l;
}

Ref<TLink> TList::FindLink(const Ref<Object>& value) const {
    for (TLink* l = _head->_succ.Get(); l != _head.Get(); l = l->_succ.Get()) {
        if (CompareObjects(l->_value.Get(), value.Get()) == 0) return Ref<TLink>(l);
    }
    return nullptr;
}

Ref<Object> TList::ValueAtIndex(int32_t index) const {
    if (index >= 0) {
        int32_t i = 0;
        for (TLink* l = _head->_succ.Get(); l != _head.Get(); l = l->_succ.Get(), ++i) {
            if (i == index) return l->_value;
        }
    }
    RaiseRuntimeError("List index out of range");
}

int32_t TList::Count() const {
    int32_t n = 0;
    for (TLink* l = _head->_succ.Get(); l != _head.Get(); l = l->_succ.Get()) ++n;
    return n;
}

int32_t TList::Remove(const Ref<Object>& value) {
    Ref<TLink> link = FindLink(value);
    if (!link) return 0;
    link->Remove();
    return 1;
}

int32_t TList::Swap(TList& other) {
    _head.Swap(other._head);
    return 0;
}

Ref<TList> TList::Copy() const {
    Ref<TList> copy = New<TList>();
    for (TLink* l = _head->_succ.Get(); l != _head.Get(); l = l->_succ.Get()) copy->AddLast(l->_value);
    return copy;
}

int32_t TList::Reverse() {
    TLink* l = _head.Get();
    do {
        l->_succ.Swap(l->_pred);
        l = l->_pred.Get();  // the old successor
    } while (l != _head.Get());
    return 0;
}

Ref<TList> TList::Reversed() const {
    Ref<TList> copy = New<TList>();
    for (TLink* l = _head->_succ.Get(); l != _head.Get(); l = l->_succ.Get()) copy->AddFirst(l->_value);
    return copy;
}

int32_t TList::Sort(bool ascending, CompareFunction compare) {
    // Rewiring moves references between links; every link gets one extra
    // reference for the duration so that none can go while it is rewired.
    TLink* head = _head.Get();
    for (TLink* l = head->_succ.Get(); l != head; l = l->_succ.Get()) l->AddRef();
    ScopeExit release([head] {
        for (TLink* l = head->_succ.Get(); l != head; l = l->_succ.Get()) l->Release();
    });
    for (int64_t k = 1;; k *= 2) {
        TLink* tail = head;
        int merges = 0;
        for (TLink* p = head->_succ.Get(); p != head; ++merges) p = MergeRuns(head, tail, p, k, ascending, compare);
        tail->_succ = _head;
        head->_pred = Ref<TLink>(tail);
        if (merges <= 1) break;
    }
    return 0;
}

TLink* TList::MergeRuns(TLink* head, TLink*& tail, TLink* p, int64_t k, bool ascending, CompareFunction compare) {
    TLink* q = p;
    int64_t psize = 0;
    while (psize < k && q != head) {
        ++psize;
        q = q->_succ.Get();
    }
    int64_t qsize = k;
    while (psize > 0 || (qsize > 0 && q != head)) {
        bool takeRight;
        if (psize == 0) takeRight = true;
        else if (qsize == 0 || q == head) takeRight = false;
        else {
            int32_t f;
            try {
                f = compare(p->_value, q->_value);
            } catch (...) {
                CloseAfterFailedMerge(head, tail, p, psize, q);
                throw;
            }
            takeRight = (ascending ? f : -int64_t{f}) > 0;
        }
        TLink* e = takeRight ? q : p;
        if (takeRight) {
            q = q->_succ.Get();
            --qsize;
        } else {
            p = p->_succ.Get();
            --psize;
        }
        tail->_succ = Ref<TLink>(e);
        e->_pred = Ref<TLink>(tail);
        tail = e;
    }
    return q;
}

void TList::CloseAfterFailedMerge(TLink* head, TLink* tail, TLink* p, int64_t psize, TLink* q) {
    // The links not merged yet (the rest of the left run, then all from q
    // on, untouched by this pass) follow the tail; then the back links are
    // rebuilt from the forward ones.
    for (; psize > 0; --psize, p = p->_succ.Get()) {
        tail->_succ = Ref<TLink>(p);
        tail = p;
    }
    tail->_succ = Ref<TLink>(q);
    TLink* l = head;
    do {
        l->_succ->_pred = Ref<TLink>(l);
        l = l->_succ.Get();
    } while (l != head);
}

Ref<TListEnum> TList::ObjectEnumerator() const { return New<TListEnum>(_head->_succ); }

std::vector<Ref<Object>> TList::ToArray() const {
    std::vector<Ref<Object>> array;
    for (TLink* l = _head->_succ.Get(); l != _head.Get(); l = l->_succ.Get()) array.push_back(l->_value);
    return array;
}

Ref<TList> TList::FromArray(const std::vector<Ref<Object>>& array) {
    Ref<TList> list = New<TList>();
    for (const auto& value : array) list->AddLast(value);
    return list;
}

Ref<TList> CreateList() { return New<TList>(); }
int32_t ClearList(const Ref<TList>& list) { return list->Clear(); }
int32_t CountList(const Ref<TList>& list) { return list->Count(); }
bool ListIsEmpty(const Ref<TList>& list) { return list->IsEmpty(); }
bool ListContains(const Ref<TList>& list, const Ref<Object>& value) { return list->Contains(value); }
Ref<TLink> ListAddFirst(const Ref<TList>& list, const Ref<Object>& value) { return list->AddFirst(value); }
Ref<TLink> ListAddLast(const Ref<TList>& list, const Ref<Object>& value) { return list->AddLast(value); }
Ref<TLink> ListFindLink(const Ref<TList>& list, const Ref<Object>& value) { return list->FindLink(value); }
int32_t ListRemove(const Ref<TList>& list, const Ref<Object>& value) { return list->Remove(value); }
int32_t RemoveLink(const Ref<TLink>& link) { return link->Remove(); }
int32_t SortList(const Ref<TList>& list, bool ascending, CompareFunction compare) {
    return list->Sort(ascending, compare);
}
int32_t ReverseList(const Ref<TList>& list) { return list->Reverse(); }
int32_t SwapLists(const Ref<TList>& a, const Ref<TList>& b) { return a->Swap(*b); }
std::vector<Ref<Object>> ListToArray(const Ref<TList>& list) { return list->ToArray(); }
Ref<TList> ListFromArray(const std::vector<Ref<Object>>& array) { return TList::FromArray(array); }

void InitList() {
    static bool done = false;
    if (done) return;
    done = true;
    InitCore();
    RecordModuleInit("linked list");
}
