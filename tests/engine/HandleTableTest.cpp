#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/ClientRecord.h"
#include "engine/ContextList.h"
#include "engine/CredentialRecord.h"
#include "engine/HandleObject.h"
#include "engine/HandleTable.h"

using namespace Ntlm;

namespace {

HandleObjectRef credentialObject()
{
    const EngineHandle handle = CredentialRecord::toEngineHandle(CredentialRecord::create(SECPKG_CRED_INBOUND));
    return HandleObject::create(HandleObject::Kind::Credential, handle);
}

} // namespace

TEST(HandleTableTest, FillsToTheLimitAndReusesTheFreedIndex)
{
    HandleTable<HandleObject> table;
    EXPECT_EQ(table.insert(nullptr), 0u);
    for (uint32_t i = 1; i <= 1024; ++i)
        ASSERT_EQ(table.insert(HandleObject::create(HandleObject::Kind::Credential)), i);
    EXPECT_EQ(table.insert(HandleObject::create(HandleObject::Kind::Credential)), 0u);
    EXPECT_TRUE(table.remove(700));
    EXPECT_EQ(table.insert(HandleObject::create(HandleObject::Kind::Credential)), 700u);
    EXPECT_EQ(table.size(), 1024u);
}

TEST(HandleTableTest, FreedSlotsAreReusedLastFreedFirst)
{
    HandleTable<HandleObject> table;
    for (int i = 0; i < 6; ++i)
        table.insert(HandleObject::create(HandleObject::Kind::Context));
    EXPECT_TRUE(table.remove(3));
    EXPECT_TRUE(table.remove(5));
    EXPECT_EQ(table.insert(HandleObject::create(HandleObject::Kind::Context)), 5u);
    EXPECT_EQ(table.insert(HandleObject::create(HandleObject::Kind::Context)), 3u);
    EXPECT_EQ(table.insert(HandleObject::create(HandleObject::Kind::Context)), 7u);
}

TEST(HandleTableTest, LookupAndRemoveOfUnknownIndices)
{
    HandleTable<HandleObject> table;
    table.insert(HandleObject::create(HandleObject::Kind::Context));
    table.insert(HandleObject::create(HandleObject::Kind::Context));
    EXPECT_FALSE(table.lookup(0));
    EXPECT_FALSE(table.lookup(3));
    EXPECT_TRUE(table.lookup(2));
    EXPECT_TRUE(table.remove(2));
    EXPECT_FALSE(table.lookup(2));
    EXPECT_FALSE(table.remove(2));
    EXPECT_FALSE(table.remove(0));
    EXPECT_FALSE(table.remove(9));
}

TEST(HandleTableTest, LastReleaseOfAHandleObjectReleasesItsRecord)
{
    HandleObjectRef object = credentialObject();
    const EngineHandle handle = object->engineHandle();
    {
        CredentialRef held = CredentialRecord::find(handle);
        ASSERT_TRUE(held);
        EXPECT_EQ(held->referenceCount(), 2u);
    }
    HandleTable<HandleObject> table;
    const uint32_t index = table.insert(object);
    object.reset();
    EXPECT_TRUE(CredentialRecord::find(handle));
    table.remove(index); // the removed reference is the last one
    EXPECT_FALSE(CredentialRecord::find(handle));
}

TEST(HandleTableTest, ClosingAClientFreesItsCredentialsAndContexts)
{
    const size_t contextsBefore = ContextList::count();
    ClientRef client = ClientRecord::create();
    HandleObjectRef credential = credentialObject();
    const EngineHandle credentialHandle = credential->engineHandle();
    client->credentials().insert(credential);

    ContextRef context = ContextList::create();
    context->credential = CredentialRecord::find(credentialHandle);
    const EngineHandle contextHandle = context->handle();
    client->contexts().insert(HandleObject::create(HandleObject::Kind::Context, contextHandle));
    context.reset(); // the creating call's reference
    credential.reset();
    EXPECT_EQ(ContextList::count(), contextsBefore + 1);

    client.reset();
    EXPECT_FALSE(ContextList::lookup(contextHandle, false));
    EXPECT_FALSE(CredentialRecord::find(credentialHandle));
    EXPECT_EQ(ContextList::count(), contextsBefore);
}

TEST(HandleTableTest, DeletingAContextInUseLetsTheHolderFinish)
{
    ContextRef creating = ContextList::create();
    EXPECT_EQ(creating->referenceCount(), 2u);
    const EngineHandle handle = creating->handle();
    creating.reset();

    ContextRef inUse = ContextList::lookup(handle, false);
    ASSERT_TRUE(inUse);
    EXPECT_EQ(NtlmDeleteContext(handle), kStatusOk);
    EXPECT_EQ(NtlmDeleteContext(handle), SEC_E_INVALID_HANDLE);
    EXPECT_FALSE(ContextList::lookup(handle, false));
    // The operation that holds it still works on it.
    inUse->state = CTX_ACCEPTED;
    EXPECT_EQ(inUse->referenceCount(), 1u);
    EXPECT_EQ(NtlmDeleteContext(EngineHandle::none()), SEC_E_INVALID_HANDLE);
}

TEST(HandleTableTest, NewContextsGoToTheHeadWithFreshIdentities)
{
    ContextRef a = ContextList::create();
    ContextRef b = ContextList::create();
    EXPECT_NE(a->identity(), b->identity());
    EXPECT_NE(a->identity(), 0u);
    NtlmDeleteContext(a->handle());
    NtlmDeleteContext(b->handle());
}

// Many client threads acquire, look up and release at once on shared tables.
TEST(HandleTableTest, ConcurrentInsertLookupAndRelease)
{
    ClientRef client = ClientRecord::create();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                const uint32_t credIndex = client->credentials().insert(credentialObject());
                if (credIndex == 0) {
                    ++failures;
                    continue;
                }
                HandleObjectRef credObject = client->credentials().lookup(credIndex);
                ContextRef context = ContextList::create();
                {
                    std::lock_guard guard(credObject->lock());
                    context->credential = CredentialRecord::find(credObject->engineHandle());
                }
                const uint32_t ctxIndex =
                    client->contexts().insert(HandleObject::create(HandleObject::Kind::Context, context->handle()));
                context.reset();
                if (HandleObjectRef ctxObject = client->contexts().lookup(ctxIndex)) {
                    std::lock_guard guard(ctxObject->lock());
                    ContextRef held = ContextList::lookup(ctxObject->engineHandle(), false);
                    if (!held || !held->credential)
                        ++failures;
                    else
                        held->sendSequence++;
                }
                client->contexts().remove(ctxIndex);
                client->credentials().remove(credIndex);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    client.reset();
}
