#include "dshow/dshow_object_list.h"

#include "runtime/memory.h"

void ConstructObjectList(ObjectList* list)
{
    list->head = nullptr;
    list->tail = nullptr;
    list->count = 0;
    list->cache.limit = OBJECT_LIST_CACHE_LIMIT;
    list->cache.count = 0;
    list->cache.first = nullptr;
}

void DestroyObjectList(ObjectList* list)
{
    ListRemoveAll(list);
    while (ObjectListNode* node = list->cache.first) {
        list->cache.first = node->next;
        FreeTracked(node);
    }
    list->cache.count = 0;
}

ListPosition ListAddTail(ObjectList* list, void* object)
{
    ObjectListNode* node = list->cache.first;
    if (node) {
        list->cache.first = node->next;
        list->cache.count--;
    } else {
        node = static_cast<ObjectListNode*>(AllocTracked(sizeof(ObjectListNode), "", 0));
        if (!node)
            return nullptr;
    }
    node->object = object;
    node->next = nullptr;
    node->previous = list->tail;
    if (list->tail)
        list->tail->next = node;
    else
        list->head = node;
    list->tail = node;
    list->count++;
    return node;
}

int ListAddTailAll(ObjectList* list, const ObjectList* other)
{
    for (ObjectListNode* node = other->head; node; node = node->next) {
        if (!ListAddTail(list, node->object))
            return 0;
    }
    return 1;
}

void* ListRemove(ObjectList* list, ListPosition position)
{
    if (!position)
        return nullptr;
    if (position->previous)
        position->previous->next = position->next;
    else
        list->head = position->next;
    if (position->next)
        position->next->previous = position->previous;
    else
        list->tail = position->previous;
    void* object = position->object;
    if (list->cache.count < list->cache.limit) {
        position->next = list->cache.first;
        list->cache.first = position;
        list->cache.count++;
    } else {
        FreeTracked(position);
    }
    list->count--;
    return object;
}

void* ListRemoveHead(ObjectList* list)
{
    return ListRemove(list, list->head);
}

ListPosition ListFind(const ObjectList* list, const void* object)
{
    for (ObjectListNode* node = list->head; node; node = node->next) {
        if (node->object == object)
            return node;
    }
    return nullptr;
}

void* ListGetNext(ListPosition* position)
{
    ObjectListNode* node = *position;
    if (!node)
        return nullptr;
    *position = node->next;
    return node->object;
}

void ListRemoveAll(ObjectList* list)
{
    ObjectListNode* node = list->head;
    while (node) {
        ObjectListNode* next = node->next;
        FreeTracked(node);
        node = next;
    }
    list->head = nullptr;
    list->tail = nullptr;
    list->count = 0;
}

ListPosition ListNextPosition(const ObjectList* list, ListPosition position)
{
    return position ? position->next : list->head;
}

void* ListObjectAt(ListPosition position)
{
    return position ? position->object : nullptr;
}
