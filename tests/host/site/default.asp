<p>site root default page</p>
