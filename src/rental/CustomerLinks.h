#pragma once
// The contracts' answers to the customer register: how many contracts name a
// customer or a site (whatever their status, cancelled ones included), and the
// site list's status filter. Every program that deletes customers calls this
// once before (the program's wiring, vorlanda-admin's customer commands).
namespace vl::rental {

void registerCustomerLinks();

} // namespace vl::rental
