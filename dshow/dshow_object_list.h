// Doubly linked list of object pointers with a small cache of spare nodes.
// The list owns its nodes, not the objects, and takes no lock.
#pragma once

struct ObjectListNode {
    ObjectListNode* previous;
    ObjectListNode* next;
    void* object;
};

// A position is a node pointer; null means none.
typedef ObjectListNode* ListPosition;

enum { OBJECT_LIST_CACHE_LIMIT = 10 };

struct ObjectListNodeCache {
    int limit;
    int count;
    ObjectListNode* first;
};

struct ObjectList {
    ObjectListNode* head;
    ObjectListNode* tail;
    int count;
    ObjectListNodeCache cache;
};

void ConstructObjectList(ObjectList* list);
void DestroyObjectList(ObjectList* list);
// The new node, or null (list unchanged) when no node can be had.
ListPosition ListAddTail(ObjectList* list, void* object);
// 1 when every object of other was appended (or other is empty); 0 at the
// first failure, the objects appended so far staying.
int ListAddTailAll(ObjectList* list, const ObjectList* other);
void* ListRemove(ObjectList* list, ListPosition position);
void* ListRemoveHead(ObjectList* list);
ListPosition ListFind(const ObjectList* list, const void* object);
// The object at *position; the position moves to the next node.
void* ListGetNext(ListPosition* position);
// Frees every node directly (none goes to the cache).
void ListRemoveAll(ObjectList* list);
// The walk: a null position gives the head, else the node's next.
ListPosition ListNextPosition(const ObjectList* list, ListPosition position);
void* ListObjectAt(ListPosition position);
