#pragma once
// Word lists for the synthetic patients: names and places as a Philippine hospital's records
// hold them, with the apostrophes and accents that a search must cope with. UTF-8.

namespace demo::pools {

inline constexpr const char *lastNames[] = {
    "Dela Cruz", "Santos", "Reyes", "Garcia", "Mendoza", "Bautista", "Ocampo", "Aquino",
    "Villanueva", "Ramos", "Castillo", "Fernandez", "Rivera", "Gonzales", "Lopez", "Torres",
    "Flores", "Navarro", "Domingo", "Pascual", "Salazar", "Mercado", "Aguilar", "De Guzman",
    "De Leon", "Del Rosario", "Soriano", "Manalo", "Macaraeg", "Panganiban", "Dimaculangan",
    "Magbanua", "Lacson", "Tolentino", "Gatchalian", "Cabrera", "Sison", "Lim", "Tan", "Go",
    "Uy", "Sy", "Chua", "Yap", "Peña", "Muñoz", "Ibañez", "Nuñez", "Briones", "Evangelista",
    "Fajardo", "Ilagan", "Dalisay", "Bonifacio", "Mabini", "Cruz", "Santiago", "Javier",
    "Valdez", "Morales", "Dizon", "Manalastas", "Caballero", "Padilla", "Samonte", "Tiongson",
    "Buenaventura", "Macapagal", "Quiambao", "Sarmiento", "Villareal", "Zamora", "Abad",
    "Agbayani", "Alcantara", "Bernardo", "Cayabyab", "Dumalagan", "Estrada", "Gutierrez",
    "Hernandez", "Jimenez", "Lagman", "Madrigal", "Nepomuceno", "Ordoñez", "Pacheco",
    "Quiñones", "Robles", "Salvador", "Umali", "Velasco", "Yñiguez", "O'Brien", "D'Angelo",
    "O'Hara", "Dela Peña", "Sta. Maria", "Montemayor", "Delos Santos", "Francisco", "Mariano",
};

inline constexpr const char *maleFirstNames[] = {
    "Jose", "Juan", "Mark Anthony", "John Paul", "Jericho", "Rodrigo", "Ramon", "Eduardo",
    "Ernesto", "Romeo", "Reynaldo", "Renato", "Danilo", "Rommel", "Arnel", "Jomar", "Jayson",
    "Christian", "Niño", "Santiño", "Angelo", "Carlo", "Paolo", "Miguel", "Rafael", "Gabriel",
    "Joshua", "Jerome", "Kenneth", "Francis", "Emmanuel", "Antonio", "Ferdinand", "Benigno",
    "Efren", "Rogelio", "Wilfredo", "Alfredo", "Honorio", "Teodoro", "Bienvenido", "Jun",
    "Bong", "Dodong", "Jhon Rey", "Ian", "Noel", "Randy", "Ariel", "Edwin", "Nestor", "Joel",
    "Ricardo", "Virgilio", "Sergio", "Crisanto", "Ignacio", "Patrick", "Shaun", "Liam",
};

inline constexpr const char *femaleFirstNames[] = {
    "Maria", "Ma. Cristina", "Ma. Lourdes", "Rowena", "Marites", "Rosario", "Carmelita",
    "Lourdes", "Ana Marie", "Angelica", "Kristine", "Princess", "Joy", "Michelle", "Maricel",
    "Jocelyn", "Leonora", "Corazon", "Imelda", "Teresita", "Gloria", "Erlinda", "Remedios",
    "Luzviminda", "Nenita", "Perla", "Rhodora", "Aileen", "Charmaine", "Jennifer", "Lovely",
    "Mary Grace", "Mary Joy", "Precious", "Kimberly", "Nicole", "Patricia", "Camille", "Bea",
    "Andrea", "Sofia", "Althea", "Ysabel", "Peñafrancia", "Concepción", "Dolores", "Milagros",
    "Socorro", "Zenaida", "Fe", "Cherry Ann", "Rica", "Janine", "Hazel", "Ivy", "Siobhan",
};

inline constexpr const char *streets[] = {
    "Rizal St.", "Mabini St.", "Bonifacio Ave.", "Quezon Blvd.", "Magsaysay Ave.",
    "Luna St.", "Burgos St.", "Del Pilar St.", "Aguinaldo Hwy.", "Roxas Blvd.",
    "Osmeña St.", "Laurel St.", "Sampaguita St.", "Ilang-Ilang St.", "Narra St.",
    "Acacia Rd.", "Mango Ave.", "Kamagong St.", "Gen. Luna St.", "P. Burgos St.",
    "J.P. Rizal Ext.", "St. Jude's Rd.", "Santo Niño St.", "Maharlika Hwy.",
};

inline constexpr const char *barangays[] = {
    "Poblacion", "San Isidro", "Santo Niño", "San Roque", "Bagong Silang", "Malanday",
    "Concepcion", "Sta. Cruz", "San Jose", "San Antonio", "Bagumbayan", "Mabuhay",
    "Maligaya", "Pag-asa", "San Vicente", "Santa Rosa", "Del Pilar", "Bagong Pag-asa",
    "Dasmariñas", "Talon Uno", "Pulo", "Kaybagal", "Mayapa", "Bucal", "Parian", "Lawa",
};

struct City {
    const char *name;
    const char *province;
    const char *zipCode;
};

inline constexpr City cities[] = {
    {"Calamba", "Laguna", "4027"},        {"Santa Rosa", "Laguna", "4026"},
    {"Biñan", "Laguna", "4024"},          {"San Pablo", "Laguna", "4000"},
    {"Los Baños", "Laguna", "4030"},      {"Tanauan", "Batangas", "4232"},
    {"Lipa", "Batangas", "4217"},         {"Batangas City", "Batangas", "4200"},
    {"Dasmariñas", "Cavite", "4114"},     {"Imus", "Cavite", "4103"},
    {"Bacoor", "Cavite", "4102"},         {"Las Piñas", "Metro Manila", "1740"},
    {"Parañaque", "Metro Manila", "1700"}, {"Muntinlupa", "Metro Manila", "1770"},
    {"Lucena", "Quezon", "4301"},         {"Antipolo", "Rizal", "1870"},
};

inline constexpr const char *occupations[] = {
    "Housewife", "Student", "Farmer", "Fisherman", "Driver", "Teacher", "Nurse", "Vendor",
    "Sari-sari Store Owner", "Construction Worker", "Security Guard", "Call Center Agent",
    "Overseas Filipino Worker", "Government Employee", "Retired", "Unemployed", "Engineer",
    "Accountant", "Tricycle Driver", "Seaman", "Carpenter", "Midwife", "Barangay Health Worker",
    "Mechanic", "Sales Clerk", "Businessman", "Factory Worker", "Police Officer",
};

inline constexpr const char *religions[] = {
    "Roman Catholic", "Roman Catholic", "Roman Catholic", "Roman Catholic", "Iglesia ni Cristo",
    "Born Again Christian", "Islam", "Seventh-day Adventist", "Aglipayan", "Baptist",
};

inline constexpr const char *doctors[] = {
    "Dr. Ramon Villanueva", "Dr. Maria Santos-Reyes", "Dr. Jose Peña", "Dr. Ana Lim",
    "Dr. Eduardo Tan", "Dr. Lourdes Bautista", "Dr. Carlo Muñoz", "Dr. Teresita Go",
    "Dr. Miguel O'Hara", "Dr. Patricia Dizon", "Dr. Francis Abad", "Dr. Gloria Ordoñez",
};

inline constexpr const char *complaints[] = {
    "Fever for 3 days", "Cough and colds", "Abdominal pain", "Difficulty of breathing",
    "Headache", "Chest pain", "Vomiting and diarrhea", "Follow-up check-up", "Prenatal check-up",
    "Dizziness", "Body malaise", "Wound dressing", "Hypertension follow-up", "Skin rashes",
    "Dog bite", "Vehicular accident", "Labor pains", "Blood sugar monitoring",
};

struct Diagnosis {
    const char *code;
    const char *text;
};

inline constexpr Diagnosis diagnoses[] = {
    {"A09", "Acute gastroenteritis"},
    {"A90", "Dengue fever"},
    {"J18.9", "Community-acquired pneumonia"},
    {"J06.9", "Acute upper respiratory infection"},
    {"I10", "Essential hypertension"},
    {"E11.9", "Type 2 diabetes mellitus"},
    {"N39.0", "Urinary tract infection"},
    {"O80", "Normal spontaneous delivery"},
    {"K35.8", "Acute appendicitis"},
    {"I63.9", "Cerebral infarction"},
    {"A15.0", "Pulmonary tuberculosis"},
    {"S06.0", "Concussion"},
    {"J45.9", "Bronchial asthma"},
    {"I21.9", "Acute myocardial infarction"},
};

inline constexpr const char *allergies[] = {
    "Penicillin", "Amoxicillin", "Sulfa drugs", "Aspirin", "Shrimp", "Crabs", "Peanuts",
    "Eggs", "Latex", "Ibuprofen", "Mefenamic acid", "Dust mites",
};

inline constexpr const char *reactions[] = {
    "Rashes", "Hives", "Itching", "Swelling of the lips", "Difficulty of breathing",
    "Anaphylaxis", "Nausea",
};

inline constexpr const char *relations[] = {
    "Mother", "Father", "Spouse", "Son", "Daughter", "Brother", "Sister", "Aunt", "Uncle",
    "Neighbor", "Guardian",
};

inline constexpr const char *admissionTypes[] = {"Emergency", "Emergency", "Elective", "Transfer"};

inline constexpr const char *clinics[] = {"MED", "PED", "OB", "SUR", "ENT", "EYE", "DERM", "ORTHO", "FAM"};

inline constexpr const char *staff[] = {"RCLERK01", "RCLERK02", "RCLERK03", "ERCLERK1", "ADMIT02", "demo"};

inline constexpr const char *referrers[] = {
    "Rural Health Unit", "Barangay Health Center", "Private clinic", "Lying-in clinic",
    "Provincial hospital", "District hospital",
};

} // namespace demo::pools
